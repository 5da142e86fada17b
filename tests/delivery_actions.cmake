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

if(WIN32)
  # Under Wine, on real files, the prefix's registry and real dialogs: the save action, the
  # mailto link through a recorder registered as the mail program, MAPI, the sendreport tool.
  add_executable(command_recorder delivery/command_recorder_win.cpp)
  add_unit_test_program(delivery_actions_win_tests SHOWS_WINDOWS
    WIN_SOURCES
      delivery/delivery_test_files_win.cpp
      delivery/save_action_win_test.cpp
      delivery/mailto_send_win_test.cpp
      delivery/sendreport_win_test.cpp
      delivery/mapi_send_win_test.cpp
    LIBS crash window_driver
  )
  add_dependencies(delivery_actions_win_tests command_recorder sendreport)
  # The recorder xdg-email comes first on the path that Wine's MAPI searches.
  set_tests_properties(delivery_actions_win_tests PROPERTIES LABELS integration
    ENVIRONMENT "DELIVERY_XDG_EMAIL_LOG=${CMAKE_BINARY_DIR}/xdg-email.log"
    ENVIRONMENT_MODIFICATION "PATH=path_list_prepend:${CMAKE_CURRENT_SOURCE_DIR}/delivery/xdg")
endif()

if(WIN32)
  # The print action on a PostScript printer of a CUPS daemon the test starts, its job made
  # a PDF and read back with pdftotext: lines, the empty line, wrapping, page breaks.
  add_executable(delivery_print_win_tests delivery/print_action_win_test.cpp
                                          delivery/delivery_test_files_win.cpp)
  target_link_libraries(delivery_print_win_tests PRIVATE crash window_driver winspool test_main)
  add_test(NAME delivery_print_win_tests
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/delivery/print_with_cups.sh
                   $<TARGET_FILE:delivery_print_win_tests> --gtest_color=no
                   --gtest_output=xml:test-results/delivery_print_win_tests.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(delivery_print_win_tests PROPERTIES
    LABELS integration RESOURCE_LOCK desktop TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

if(WIN32)
  # sendreport through the SMTP tests' real mail servers on 127.0.0.1.
  add_executable(delivery_mail_win_tests delivery/sendreport_smtp_win_test.cpp
                                         delivery/delivery_test_files_win.cpp)
  target_link_libraries(delivery_mail_win_tests PRIVATE window_driver test_main)
  add_dependencies(delivery_mail_win_tests sendreport command_recorder)
  add_test(NAME delivery_mail_win_tests
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/smtp/run_with_servers.sh
                   $<TARGET_FILE:delivery_mail_win_tests> --gtest_color=no
                   --gtest_output=xml:test-results/delivery_mail_win_tests.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(delivery_mail_win_tests PROPERTIES
    LABELS integration RESOURCE_LOCK desktop TIMEOUT 300)
endif()
