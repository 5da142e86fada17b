# The stack tracer: the progress indicator of the bug report.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/progress.cpp
)
