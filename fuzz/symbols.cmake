# Fuzz targets of the symbol data readers.
add_fuzz_target(symbol_block_fuzzer SOURCES symbol_block_fuzzer.cpp LIBS trace)
add_fuzz_target(map_text_fuzzer SOURCES map_text_fuzzer.cpp LIBS trace)
add_fuzz_target(td32_fuzzer SOURCES td32_fuzzer.cpp LIBS trace)
