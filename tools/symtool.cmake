# The symbol tool: reads a linked executable's DWARF and writes its symbol block (and map text,
# TD32 data). A host program only: the Windows build runs it after linking each executable.
if(NOT WIN32)
  add_library(symtool STATIC
    ${CMAKE_CURRENT_LIST_DIR}/symtool/pe_debug_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/dwarf_abbrev.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/dwarf_info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/dwarf_line_program.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/dwarf_range_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/function_name.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/symbol_table_builder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/symtool/code_identity.cpp
  )
  target_include_directories(symtool PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(symtool PUBLIC trace)

  if(FUZZ)
    return()
  endif()
  add_executable(make_symbol_block ${CMAKE_CURRENT_LIST_DIR}/make_symbol_block.cpp)
  target_link_libraries(make_symbol_block PRIVATE symtool)
endif()
