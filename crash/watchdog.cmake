# The anti-freeze watchdog.
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win/watchdog_win.cpp)
endif()
