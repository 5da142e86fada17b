# The whole bug report of ten live threads against dbghelp's StackWalk64 (Windows only, run
# under Wine). The recursion below the workers is -O2 code without frame pointers; dbghelp
# reads its symbols from the program's DWARF.
if(WIN32)
  add_executable(bug_report_bench ${CMAKE_CURRENT_LIST_DIR}/bug_report_bench_win.cpp)
  target_include_directories(bug_report_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(bug_report_bench PRIVATE crash trace dbghelp)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/bug_report_bench_win.cpp PROPERTIES
    COMPILE_OPTIONS "-O2;-fomit-frame-pointer")
endif()
