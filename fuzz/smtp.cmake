# Fuzz targets of SMTP delivery: the reply reader and the capability scans.
add_fuzz_target(smtp_reply_fuzzer SOURCES smtp_reply_fuzzer.cpp LIBS crash)
# The whole dialogue against a server whose replies are the input.
add_fuzz_target(smtp_session_fuzzer SOURCES smtp_session_fuzzer.cpp LIBS crash)
