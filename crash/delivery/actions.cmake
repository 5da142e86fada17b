# The report's mail, save and print actions.
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/report_actions_win.cpp)
endif()
