# The x86 disassembler's tests.
add_unit_test_program(x86_tests
  SOURCES
    x86/x86_tables_test.cpp
    x86/x86_decoder_test.cpp
    x86/x86_text_test.cpp
    x86/x86_function_test.cpp
    x86/x86_listing_test.cpp
    x86/pe_file_view_test.cpp
  LIBS trace
)
