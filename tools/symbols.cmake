# symbols: names addresses of a PE file from its symbol data (any of the four sources).
add_executable(symbols ${CMAKE_CURRENT_LIST_DIR}/symbols.cpp)
target_link_libraries(symbols PRIVATE trace)
