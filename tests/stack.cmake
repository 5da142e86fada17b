# The stack tracer's tests: the progress estimate, and on Windows its window.
add_unit_test_program(stack_tests SOURCES stack/progress_test.cpp stack/call_before_test.cpp stack/module_list_test.cpp stack/function_cache_test.cpp stack/entry_point_walk_test.cpp WIN_SOURCES stack/progress_bar_win_test.cpp LIBS trace)
