# The symbol data readers' and writers' tests.
add_unit_test_program(symbols_tests
  SOURCES
    symbols/map_file_test.cpp
    symbols/symbol_block_test.cpp
    symbols/map_text_test.cpp
    symbols/td32_test.cpp
    symbols/symbol_sources_test.cpp
  LIBS trace
)

if(WIN32)
  # Symbol data of the running program's modules, found through the live address space,
  # whose bytes come from the system's read service.
  add_unit_test_program(symbol_data_live_tests
    WIN_SOURCES symbols/symbol_data_win_test.cpp
    LIBS trace
  )
  needs_faithful_system(symbol_data_live_tests LINES read_process_memory)
endif()

# The symbols tool run on PE files the test writes (host only).
if(NOT CMAKE_CROSSCOMPILING)
  add_unit_test_program(symbols_tool_tests SOURCES symbols/symbols_tool_test.cpp LIBS trace)
  target_compile_definitions(symbols_tool_tests PRIVATE SYMBOLS_TOOL="$<TARGET_FILE:symbols>")
  add_dependencies(symbols_tool_tests symbols)
endif()
