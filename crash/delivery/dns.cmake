# The mail exchanger lookup.
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mx_lookup_win.cpp)
endif()
