# Fuzz targets of the stack tracer.
add_fuzz_target(function_cache_fuzzer SOURCES function_cache_fuzzer.cpp LIBS trace)
