# The mail exchanger lookup: the datagram, the response reader and the walk over a scripted
# network everywhere; under Wine the whole lookup against real name servers on loopback
# addresses (dns/mx_servers_test.sh starts and stops them).
add_unit_test_program(dns_tests
  SOURCES
    dns/dns_response_test.cpp
    dns/mx_walk_test.cpp
  LIBS crash
)

if(WIN32)
  # The whole lookup under Wine against real name servers; the script starts them, runs the
  # program inside its private view of the host names and stops them on every way out.
  add_executable(mx_lookup_tests dns/mx_lookup_win_test.cpp)
  target_link_libraries(mx_lookup_tests PRIVATE crash test_main wsock32)
  add_test(NAME mx_lookup_servers
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/dns/mx_servers_test.sh
                   $<TARGET_FILE:mx_lookup_tests> --gtest_color=no
                   --gtest_output=xml:test-results/mx_lookup_tests.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(mx_lookup_servers PROPERTIES LABELS integration TIMEOUT 120
                       RESOURCE_LOCK dns_servers)

  # The mail action's direct way end to end: the same name servers, and a real SMTP server
  # on port 25 as example.test's exchangers.
  add_executable(direct_mail_tests dns/direct_mail_win_test.cpp)
  target_link_libraries(direct_mail_tests PRIVATE crash test_main)
  add_test(NAME direct_mail_servers
           COMMAND ${CMAKE_COMMAND} -E env MX_SMTP_SPOOL=${CMAKE_BINARY_DIR}/direct-mail-spool
                   ${CMAKE_CURRENT_SOURCE_DIR}/dns/mx_servers_test.sh
                   $<TARGET_FILE:direct_mail_tests> --gtest_color=no
                   --gtest_output=xml:test-results/direct_mail_tests.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(direct_mail_servers PROPERTIES LABELS integration TIMEOUT 120
                       RESOURCE_LOCK dns_servers)
endif()
