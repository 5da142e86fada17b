# stacktrace: the bug report's stack tracer on a stack replayed from PE files and a dump.
add_executable(stacktrace ${CMAKE_CURRENT_LIST_DIR}/stacktrace.cpp)
target_link_libraries(stacktrace PRIVATE trace)
