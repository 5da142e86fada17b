# The symbol data readers' and writers' tests.
add_unit_test_program(symbols_tests
  SOURCES
    symbols/map_file_test.cpp
    symbols/symbol_block_test.cpp
    symbols/map_text_test.cpp
    symbols/td32_test.cpp
    symbols/symbol_sources_test.cpp
  WIN_SOURCES
    symbols/symbol_data_win_test.cpp
  LIBS trace
)
