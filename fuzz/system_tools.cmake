add_fuzz_target(pe_image_fuzzer SOURCES pe_image_fuzzer.cpp LIBS trace)
