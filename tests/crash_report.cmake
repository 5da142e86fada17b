# The bug report composer tests: the report's texts and the order of its parts over a fake
# system (host and Windows); on Windows a report of this process's own threads.
add_unit_test_program(crash_report_tests
  SOURCES
    crash/report/report_header_test.cpp
    crash/report/report_sections_test.cpp
    crash/report/report_composer_test.cpp
  LIBS crash
)

if(WIN32)
  # A report of this process: worker threads parked in known functions, paused and traced
  # from their contexts by a handling thread; the modules and the disassembly.
  add_unit_test_program(crash_report_live_tests
    WIN_SOURCES crash/report/compose_report_win_test.cpp
    LIBS crash
  )
  needs_faithful_system(crash_report_live_tests LINES read_process_memory suspended_thread_context)
endif()
