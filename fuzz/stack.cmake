# Fuzz targets of the stack tracer: the module list and function cache, the tracer.
add_fuzz_target(function_cache_fuzzer SOURCES function_cache_fuzzer.cpp LIBS trace)
add_fuzz_target(stack_trace_fuzzer SOURCES stack_trace_fuzzer.cpp LIBS trace)
add_fuzz_target(stack_dump_fuzzer SOURCES stack_dump_fuzzer.cpp LIBS trace)
add_fuzz_target(replay_image_fuzzer SOURCES replay_image_fuzzer.cpp LIBS trace)
