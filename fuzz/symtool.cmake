# Fuzz target of the symbol tool's DWARF and PE reading.
include(${PROJECT_SOURCE_DIR}/tools/symtool.cmake)
add_fuzz_target(dwarf_symbols_fuzzer SOURCES dwarf_symbols_fuzzer.cpp LIBS symtool)
