# Restart and close tests: the restart block's layout and name; on Windows real chains of
# restarted processes and a process that ends itself at once.
add_unit_test_program(crash_restart_tests
  SOURCES crash/restart_block_test.cpp
  LIBS crash
)
