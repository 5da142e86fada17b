# Start-up time and size of the installer beside a minimal window program (run
# under Wine beside install.exe). The minimal program is linked as the installer
# is: a WIN32 program, the same flags, the same manifest, its own symbol block.
if(WIN32)
  add_executable(minimal_window WIN32 ${CMAKE_CURRENT_LIST_DIR}/minimal_window_win.cpp)
  embed_manifest(minimal_window)

  add_executable(startup_bench startup_bench.cpp)
  target_include_directories(startup_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(startup_bench PRIVATE user32)
  add_dependencies(startup_bench installer minimal_window)
  embed_manifest(startup_bench)
endif()
