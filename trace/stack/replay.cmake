# The replay of a stack away from the process: PE files and a stack dump as an address space.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/replay_image_fixups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/replay_address_space.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stack_dump.cpp
)
