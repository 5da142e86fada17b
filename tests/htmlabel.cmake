# The recording drawing surface with fixed metrics, shared with the fuzz target.
add_library(htmlabel_test_surface STATIC htmlabel/test_surface.cpp)
target_include_directories(htmlabel_test_surface PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(htmlabel_test_surface PUBLIC htmlabel)

set(htmlabel_test_libs htmlabel htmlabel_test_surface)
if(WIN32)
  list(APPEND htmlabel_test_libs htmlabel_win)
endif()
add_unit_test_program(htmlabel_tests SHOWS_WINDOWS
  SOURCES
    htmlabel/draw_html_test.cpp
    htmlabel/draw_html_golden_test.cpp
    htmlabel/html_entities_test.cpp
    htmlabel/html_color_test.cpp
    htmlabel/hint_text_test.cpp
    htmlabel/label_layout_test.cpp
    htmlabel/anchor_tracker_test.cpp
    htmlabel/declared_picture_size_test.cpp
    htmlabel/gif_frames_test.cpp
    htmlabel/picture_geometry_test.cpp
    htmlabel/html_picture_test.cpp
    htmlabel/markup_image_test.cpp
  WIN_SOURCES
    htmlabel/html_label_win_test.cpp
    htmlabel/gdi_surface_win_test.cpp
    htmlabel/markup_image_win_test.cpp
  LIBS ${htmlabel_test_libs}
)
# The pictures the tests load, drawn into <build>/pictures.
include(${PROJECT_SOURCE_DIR}/cmake/Pictures.cmake)
add_dependencies(htmlabel_tests pictures)
target_compile_definitions(htmlabel_tests PRIVATE
  HTMLABEL_GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/htmlabel/golden")
if(WIN32)
  embed_manifest(htmlabel_tests)
endif()
