# The stack tracer's tests: the progress estimate.
add_unit_test_program(stack_tests SOURCES stack/progress_test.cpp LIBS trace)
