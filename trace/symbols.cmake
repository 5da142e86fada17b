# Symbol data: the embedded block and the readers of map text, TD32 data and block files.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/symbol_block_key.cpp
)
