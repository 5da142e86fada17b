# The crash reporter's tests: the thread registry and the process thread list; on Windows
# the thread hooks, naming and the pause of other threads.
add_unit_test_program(crash_tests
  SOURCES
    crash/thread_registry_test.cpp
    crash/process_thread_list_test.cpp
  LIBS crash
)
