# Start-up time and size of the installer (run under Wine beside install.exe).
if(WIN32)
  add_executable(startup_bench startup_bench.cpp)
  target_link_libraries(startup_bench PRIVATE user32)
  add_dependencies(startup_bench installer)
  embed_manifest(startup_bench)
endif()
