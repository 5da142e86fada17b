# The stack tracer's tests: the progress estimate, the call-before test, the module list,
# the function cache and the entry-point walk; on Windows the progress window.
add_unit_test_program(stack_tests SHOWS_WINDOWS
  SOURCES
    stack/progress_test.cpp
    stack/call_before_test.cpp
    stack/module_list_test.cpp
    stack/function_cache_test.cpp
    stack/entry_point_walk_test.cpp
    stack/stack_trace_test.cpp
    stack/cached_address_space_test.cpp
    stack/stack_copy_space_test.cpp
  WIN_SOURCES
    stack/progress_bar_win_test.cpp
  LIBS trace
)

if(WIN32)
  # The tracer on the live process: threads of this program held in known call chains of
  # -O2 code without frame pointers, suspended and traced; the code patcher and the
  # process's trace state.
  add_unit_test_program(stack_trace_live_tests
    WIN_SOURCES
      stack/known_call_chains_win.cpp
      stack/stack_trace_live_win_test.cpp
      stack/code_patcher_win_test.cpp
      stack/process_trace_state_win_test.cpp
    LIBS trace
  )
  set_source_files_properties(stack/known_call_chains_win.cpp PROPERTIES
    COMPILE_OPTIONS "-O2;-fomit-frame-pointer")
  needs_faithful_system(stack_trace_live_tests LINES read_process_memory suspended_thread_context)
endif()

# The stacktrace tool's live mode: its worker's chain of our own frames, innermost first.
if(CMAKE_CROSSCOMPILING)
  add_test(NAME stacktrace_self COMMAND stacktrace --self WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(stacktrace_self PROPERTIES LABELS unit
    PASS_REGULAR_EXPRESSION "WaitForRelease.*\n.*WaitInChain.*\n.*WorkerStart")
endif()
