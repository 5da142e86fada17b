# The anti-freeze watchdog in a program whose main thread stops answering for a while.
if(NOT WIN32)
  return()
endif()

set(watchdog_dir ${CMAKE_CURRENT_SOURCE_DIR}/crash/watchdog)
foreach(variant watchdog watchdog_off)
  add_executable(${variant}_probe ${watchdog_dir}/watchdog_probe_win.cpp)
  target_link_libraries(${variant}_probe PRIVATE crash)
  crash_reporter(${variant}_probe SETTINGS ${watchdog_dir}/${variant}_settings.cpp)
endforeach()

add_unit_test_program(watchdog_tests
  WIN_SOURCES crash/watchdog/watchdog_win_test.cpp
)
add_dependencies(watchdog_tests watchdog_probe watchdog_off_probe)
needs_faithful_system(watchdog_tests LINES read_process_memory suspended_thread_context)
