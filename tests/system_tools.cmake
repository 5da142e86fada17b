add_unit_test_program(system_tools_tests
  SOURCES
    system_tools/pe_image_test.cpp
    system_tools/export_name_test.cpp
    system_tools/os_info_test.cpp
    system_tools/file_version_test.cpp
    system_tools/window_proc_thunk_test.cpp
  WIN_SOURCES
    system_tools/os_info_win_test.cpp
    system_tools/window_proc_thunk_win_test.cpp
    system_tools/message_window_win_test.cpp
  LIBS trace
)

if(WIN32)
  # Reads of the own process (bytes, module headers, exports, the live address space): the
  # bytes come from the system's read service.
  add_unit_test_program(memory_read_tests
    WIN_SOURCES
      system_tools/try_read_memory_win_test.cpp
      system_tools/module_info_win_test.cpp
    LIBS trace
  )
  needs_faithful_system(memory_read_tests LINES read_process_memory)
endif()
