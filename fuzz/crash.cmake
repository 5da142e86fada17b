# Fuzz targets of the crash reporter: the process-information answer's thread list.
add_fuzz_target(process_thread_list_fuzzer SOURCES process_thread_list_fuzzer.cpp LIBS crash)
