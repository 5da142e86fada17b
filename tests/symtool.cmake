# The symbol tool's tests: the DWARF reader and the symbol table it builds (host only), and the
# truth program that compares a program's embedded block with addr2line.
if(NOT WIN32)
  add_unit_test_program(symtool_tests
    SOURCES
      symtool/function_name_test.cpp
      symtool/symbol_table_builder_test.cpp
      symtool/coff_symbols_test.cpp
    LIBS symtool
  )
  add_executable(symbol_truth ${CMAKE_CURRENT_LIST_DIR}/symtool/symbol_truth.cpp)
  target_link_libraries(symbol_truth PRIVATE symtool)
elseif(CMAKE_CROSSCOMPILING AND TARGET dist)
  # The installer's embedded block against addr2line on its unstripped twin, and the shipped
  # installer with the same block and without DWARF. Runs on the host (built in the host tree).
  find_program(SYMBOL_ADDR2LINE i686-w64-mingw32-addr2line REQUIRED)
  add_test(NAME symbol_truth
    COMMAND ${SYMBOL_HOST_TREE}/bin/symbol_truth --addr2line ${SYMBOL_ADDR2LINE}
            --shipped ${CMAKE_BINARY_DIR}/dist/install.exe ${SYMBOL_TWIN_DIR}/install.exe)
  set_tests_properties(symbol_truth PROPERTIES LABELS unit)
endif()
