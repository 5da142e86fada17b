# Restart and close tests: the restart block's layout and name; on Windows real chains of
# restarted processes and a process that ends itself at once.
add_unit_test_program(crash_restart_tests
  SOURCES crash/restart_block_test.cpp
  LIBS crash
)

if(WIN32)
  # The children the restart and close tests start: an instance of a restart chain and a
  # process that ends itself.
  add_executable(restart_child crash/restart_child_win.cpp)
  target_link_libraries(restart_child PRIVATE crash)
  add_executable(end_process_child crash/end_process_child_win.cpp)
  target_link_libraries(end_process_child PRIVATE crash)

  add_unit_test_program(crash_restart_win_tests
    WIN_SOURCES crash/restart_win_test.cpp
    LIBS crash
  )
  add_dependencies(crash_restart_win_tests restart_child end_process_child)
endif()
