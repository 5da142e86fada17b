# The time from a report request to the visible exception box with ten traced threads
# (Windows only, under Wine): the program drives a second instance of itself.
if(WIN32)
  add_executable(exception_box_bench WIN32 ${CMAKE_CURRENT_LIST_DIR}/exception_box_bench_win.cpp)
  target_include_directories(exception_box_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(exception_box_bench PRIVATE framework)
  crash_reporter(exception_box_bench)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/exception_box_bench_win.cpp PROPERTIES
    COMPILE_OPTIONS "-O2;-fomit-frame-pointer")
endif()
