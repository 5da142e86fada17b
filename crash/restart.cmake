# Restart and close: the portable restart block; on Windows ending, restarting and the
# new instance's wait for the old one.
target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/restart_block.cpp)
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win/restart_win.cpp)
endif()
