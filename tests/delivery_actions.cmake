# The report's mail, save and print actions: the file name and size rules, the mailto link,
# the mail action's order over a fake of its ways and the print layout, everywhere.
add_unit_test_program(delivery_actions_tests
  SOURCES
    delivery/bug_report_file_test.cpp
    delivery/report_file_trim_test.cpp
    delivery/mailto_link_test.cpp
    delivery/mail_action_test.cpp
    delivery/print_layout_test.cpp
  LIBS crash
)
