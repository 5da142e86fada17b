# Load time and look-up speed of a program's embedded symbol block, beside addr2line (host
# only; build in a Release tree and give it build/win32/unstripped/install.exe).
if(NOT WIN32)
  add_executable(symbols_bench ${CMAKE_CURRENT_LIST_DIR}/symbols_bench.cpp)
  target_link_libraries(symbols_bench PRIVATE trace)
endif()
