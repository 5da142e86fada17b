# The crash reporter's tests: the thread registry and the process thread list; on Windows
# the thread hooks, naming and the pause of other threads.
add_unit_test_program(crash_tests
  SOURCES
    crash/thread_registry_test.cpp
    crash/process_thread_list_test.cpp
    crash/reporter_records_test.cpp
  LIBS crash
)

if(WIN32)
  # The thread hooks, registry, naming and pause on this process's own threads; the
  # registry reads its entries through the system's read service.
  add_unit_test_program(crash_thread_tests
    WIN_SOURCES
      crash/thread_creators_win.cpp
      crash/thread_hooks_win_test.cpp
      crash/import_patch_win_test.cpp
    LIBS crash
  )
  needs_faithful_system(crash_thread_tests LINES read_process_memory)
endif()

if(WIN32)
  # Processor faults escaping a thread's start routine or a thread object's body.
  add_unit_test_program(crash_thread_fault_tests
    WIN_SOURCES crash/thread_fault_win_test.cpp
    LIBS crash
  )
  needs_faithful_system(crash_thread_fault_tests
    LINES access_violation_read divide_by_zero read_process_memory)
endif()

if(WIN32)
  # The shared instance block's life: created, released by its last user, created again.
  add_unit_test_program(crash_block_tests
    WIN_SOURCES crash/shared_instance_block_win_test.cpp
    LIBS crash
  )
  needs_faithful_system(crash_block_tests LINES read_process_memory)
endif()
