# Low-level system tools: the operating system record, the window-procedure thunk; on
# Windows reads of the own process, the identifier key, system resources and the
# per-thread message windows.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/file_contents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/os_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_proc_thunk.cpp
)
if(WIN32)
  target_sources(trace PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win/try_read_memory_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/os_info_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/identifier_key_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/system_resources_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/window_proc_thunk_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/message_window_win.cpp
  )
endif()
