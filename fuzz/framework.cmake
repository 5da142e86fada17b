# The framework's parser of window descriptions.
add_fuzz_target(window_description_fuzzer SOURCES window_description_fuzzer.cpp
                LIBS framework_core)
