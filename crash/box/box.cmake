# The exception box: its layout and painting rules are portable; the window is Windows'.
target_sources(crash PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/box_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/box_painting.cpp
)
if(WIN32)
  target_sources(crash PRIVATE ${CMAKE_CURRENT_LIST_DIR}/box_measure_win.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/exception_box_win.cpp)
endif()
