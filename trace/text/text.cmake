# Formatting helpers: 8-bit texts, numbers, text lists, scrambled texts, system texts.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/number_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_list.cpp
)
if(WIN32)
  target_sources(trace PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win/system_text_win.cpp)
endif()
