# The HTML label's layout speed: on the recording surface in every tree, and
# on the GDI surface against plain DrawTextA under Wine.
if(NOT FUZZ)
  add_executable(htmlabel_bench ${CMAKE_CURRENT_LIST_DIR}/htmlabel_bench.cpp)
  target_link_libraries(htmlabel_bench PRIVATE htmlabel htmlabel_test_surface)
endif()
if(WIN32)
  add_executable(htmlabel_gdi_bench ${CMAKE_CURRENT_LIST_DIR}/htmlabel_gdi_bench_win.cpp)
  target_link_libraries(htmlabel_gdi_bench PRIVATE htmlabel_win)
  embed_manifest(htmlabel_gdi_bench)
endif()
