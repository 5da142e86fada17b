# stacktrace: the bug report's stack tracer on a stack replayed from PE files and a dump; on
# Windows also on the tool's own threads, live.
add_executable(stacktrace ${CMAKE_CURRENT_LIST_DIR}/stacktrace.cpp)
target_link_libraries(stacktrace PRIVATE trace)
if(WIN32)
  target_sources(stacktrace PRIVATE ${CMAKE_CURRENT_LIST_DIR}/stacktrace_self_win.cpp)
endif()
