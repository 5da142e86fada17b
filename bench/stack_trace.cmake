# The stack trace of ten live threads against dbghelp's StackWalk64 (Windows only, run under
# Wine). The recursion that fills the stacks is -O2 code without frame pointers; the program
# keeps its DWARF (bin/ holds it unstripped), from which dbghelp reads its symbols.
if(WIN32)
  add_executable(stack_trace_bench ${CMAKE_CURRENT_LIST_DIR}/stack_trace_bench_win.cpp)
  target_include_directories(stack_trace_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(stack_trace_bench PRIVATE trace dbghelp ntdll)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/stack_trace_bench_win.cpp PROPERTIES
    COMPILE_OPTIONS "-O2;-fomit-frame-pointer")
endif()
