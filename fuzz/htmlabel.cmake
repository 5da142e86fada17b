# The recording surface of the tests, built here too: the fuzz tree has no tests/.
add_library(htmlabel_test_surface STATIC ${PROJECT_SOURCE_DIR}/tests/htmlabel/test_surface.cpp)
target_include_directories(htmlabel_test_surface PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(htmlabel_test_surface PUBLIC htmlabel)

add_fuzz_target(draw_html_fuzzer SOURCES draw_html_fuzzer.cpp LIBS htmlabel htmlabel_test_surface)
add_fuzz_target(label_layout_fuzzer SOURCES label_layout_fuzzer.cpp
                LIBS htmlabel htmlabel_test_surface)
