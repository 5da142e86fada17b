# The stack tracer's tests: the progress estimate, the call-before test, the module list,
# the function cache and the entry-point walk; on Windows the progress window.
add_unit_test_program(stack_tests SHOWS_WINDOWS
  SOURCES
    stack/progress_test.cpp
    stack/call_before_test.cpp
    stack/module_list_test.cpp
    stack/function_cache_test.cpp
    stack/entry_point_walk_test.cpp
  WIN_SOURCES
    stack/progress_bar_win_test.cpp
  LIBS trace
)
