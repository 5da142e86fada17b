// One DNS query over UDP: the same datagram to each of a list of servers, the first useful
// answer from one of them wins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crash/delivery/dns_transport.h"

namespace crash {

struct DnsQueryResult {
  std::vector<std::string> answers;      // names of the answer records, in the response's order
  std::vector<std::string> authorities;  // names of the authority NS records (NS queries)
};

// Datagrams that answer none of a query's sends which a query reads before it gives up.
inline constexpr int kDnsMaxIgnoredDatagrams = 32;

// Asks each server (host name or dotted address; empty ones skipped) for the records of
// type (kDnsTypeNs or kDnsTypeMx) of name, and waits for the answers, at most 5 seconds each:
// the first one from a server asked, with the query's identifier and question, response
// code 0 and a name in it gives the result. An answer with another response code counts as
// that server's answer and the next one is awaited; other datagrams are ignored. A silence
// of 5 seconds ends the query. Each step goes to the delivery log.
DnsQueryResult AskDns(DnsTransport& transport, std::string_view name,
                      const std::vector<std::string>& servers, uint16_t type);

// "a.b.c.d" of an address.
std::string DottedAddress(uint32_t address);

}  // namespace crash
