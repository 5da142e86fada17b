# Operating-system facts, module images and exports, and the small Windows services the
# crash reporter and the stack tracer need.
target_sources(trace PRIVATE
  pe_image.cpp
  export_name.cpp
  os_info.cpp
  file_version.cpp
  window_proc_thunk.cpp
)
if(WIN32)
  target_sources(trace PRIVATE
    win/try_read_memory_win.cpp
    win/os_info_win.cpp
    win/live_address_space_win.cpp
    win/module_info_win.cpp
    win/identifier_key_win.cpp
    win/file_version_win.cpp
    win/system_resources_win.cpp
    win/window_proc_thunk_win.cpp
    win/message_window_win.cpp
  )
  target_link_libraries(trace PUBLIC version)
endif()
