# The bug report composer tests: the report's texts and the order of its parts over a fake
# system (host and Windows); on Windows a report of this process's own threads.
add_unit_test_program(crash_report_tests
  SOURCES
    crash/report/report_header_test.cpp
    crash/report/report_sections_test.cpp
    crash/report/report_composer_test.cpp
  LIBS crash
)
