# The stack tracer, its module list and function cache, and the progress indicator of the
# bug report; on Windows its window.
target_sources(trace PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/call_before.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/function_cache.cpp
  ${CMAKE_CURRENT_LIST_DIR}/code_patcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/entry_point_walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stack_trace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cached_address_space.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stack_copy_space.cpp
)
if(WIN32)
  target_sources(trace PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win/progress_bar_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/progress_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/code_patcher_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/process_memory_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/process_trace_state_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/stack_trace_win.cpp
  )
endif()
