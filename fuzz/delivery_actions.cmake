# Fuzz target of the delivery actions: the bug report file's size rule.
add_fuzz_target(report_file_trim_fuzzer SOURCES report_file_trim_fuzzer.cpp LIBS crash)
