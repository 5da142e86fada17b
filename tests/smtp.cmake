# SMTP delivery: the mail's texts, the reply reader and the password routine everywhere; the
# password tool's output on the host; the Windows client against real mail servers on
# 127.0.0.1 that tests/smtp/run_with_servers.sh starts and stops around the test program.
add_unit_test_program(smtp_text_tests
  SOURCES
    smtp/mail_text_test.cpp
    smtp/smtp_reply_test.cpp
    smtp/smtp_password_test.cpp
  LIBS crash
)

if(NOT CMAKE_CROSSCOMPILING)
  set(password_lines ${CMAKE_CURRENT_BINARY_DIR}/smtp/smtp_password_lines.inc)
  add_custom_command(OUTPUT ${password_lines}
    COMMAND sh -c "\"$0\" \"$1\" \"$2\" \"$3\" > \"$4\"" $<TARGET_FILE:smtp_password>
            mail.example.org "bug \"desk\"" "pa ss\\wörd?" ${password_lines}
    DEPENDS smtp_password VERBATIM)
  add_unit_test_program(smtp_password_tool_tests
    SOURCES smtp/smtp_password_tool_test.cpp ${password_lines}
    LIBS crash)
  target_include_directories(smtp_password_tool_tests PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/smtp)
endif()

if(CMAKE_CROSSCOMPILING)
  add_executable(smtp_send_tests smtp/smtp_send_win_test.cpp)
  target_link_libraries(smtp_send_tests PRIVATE crash test_main GTest::gtest)
  add_test(NAME smtp_send_tests
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/smtp/run_with_servers.sh $<TARGET_FILE:smtp_send_tests>
            --gtest_color=no --gtest_output=xml:test-results/smtp_send_tests.xml
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(smtp_send_tests PROPERTIES LABELS integration TIMEOUT 300)
endif()
