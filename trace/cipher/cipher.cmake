# The Blowfish cipher, Base64 and the compressed frame of the symbol block.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/blowfish.cpp
  ${CMAKE_CURRENT_LIST_DIR}/blowfish_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/base64.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compressed_frame.cpp
)
