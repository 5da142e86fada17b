# The mail exchanger lookup: the datagram, the response reader and the walk over a scripted
# network everywhere; under Wine the whole lookup against real name servers on loopback
# addresses (dns/mx_servers_test.sh starts and stops them).
add_unit_test_program(dns_tests
  SOURCES
    dns/dns_response_test.cpp
    dns/mx_walk_test.cpp
  LIBS crash
)
