# The recording surface of the tests, built here too: the fuzz tree has no tests/.
add_library(htmlabel_test_surface STATIC ${PROJECT_SOURCE_DIR}/tests/htmlabel/test_surface.cpp)
target_include_directories(htmlabel_test_surface PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(htmlabel_test_surface PUBLIC htmlabel)

add_fuzz_target(draw_html_fuzzer SOURCES draw_html_fuzzer.cpp LIBS htmlabel htmlabel_test_surface)
add_fuzz_target(label_layout_fuzzer SOURCES label_layout_fuzzer.cpp
                LIBS htmlabel htmlabel_test_surface)

# The GIF frame walk and the tiling; its seeds are the GIFs the build draws.
include(${PROJECT_SOURCE_DIR}/cmake/Pictures.cmake)
add_fuzz_target(gif_frames_fuzzer SOURCES gif_frames_fuzzer.cpp LIBS htmlabel)
add_dependencies(gif_frames_fuzzer pictures)
add_custom_command(TARGET gif_frames_fuzzer POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${PICTURES_DIR}/frames.gif ${PICTURES_DIR}/plain.gif
          ${CMAKE_CURRENT_BINARY_DIR}/corpus-gif_frames_fuzzer/)
