# Fuzz target of the mail exchanger lookup: the DNS response reader.
add_fuzz_target(dns_response_fuzzer SOURCES dns_response_fuzzer.cpp LIBS crash)
