# The x86 disassembler: tables, decoder, text, function parser and listing, PE file view.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/x86_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_mnemonic.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_function.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_listing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pe_file_view.cpp
)
