# The report's mail, save and print actions, and the sink their steps report to.
target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/delivery_log.cpp)
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/report_actions_win.cpp)
endif()
