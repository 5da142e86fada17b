add_unit_test_program(system_tools_tests
  SOURCES
    pe/pe_image_test.cpp
    pe/export_name_test.cpp
    system/os_info_test.cpp
    pe/file_version_test.cpp
    system/window_proc_thunk_test.cpp
  WIN_SOURCES
    system/os_info_win_test.cpp
    system/window_proc_thunk_win_test.cpp
    system/message_window_win_test.cpp
  LIBS trace
)

if(WIN32)
  # Reads of the own process (bytes, module headers, exports, the live address space): the
  # bytes come from the system's read service.
  add_unit_test_program(memory_read_tests
    WIN_SOURCES
      system/try_read_memory_win_test.cpp
      pe/module_info_win_test.cpp
    LIBS trace
  )
  needs_faithful_system(memory_read_tests LINES read_process_memory)
endif()
