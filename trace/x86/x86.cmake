# The x86 disassembler: tables, mnemonics, decoder, names, text, function parser, listing.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/x86_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_mnemonic.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_decoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_function.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x86_listing.cpp
)
