# Symbol data: the embedded block, map text, TD32 data and block files, their writers,
# the sources tried in order and the cache; on Windows the files and resources of loaded
# modules.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/symbol_block_key.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbol_block_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/map_text_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/td32_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/map_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/map_file_publics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mini_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbol_block_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/map_text_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/td32_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbol_sources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_symbol_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbol_cache.cpp
)
if(WIN32)
  target_sources(trace PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win/symbol_data_win.cpp)
endif()
