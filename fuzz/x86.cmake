# Fuzz targets of the x86 disassembler.
add_fuzz_target(x86_decoder_fuzzer SOURCES x86_decoder_fuzzer.cpp LIBS trace)
add_fuzz_target(x86_function_fuzzer SOURCES x86_function_fuzzer.cpp LIBS trace)
