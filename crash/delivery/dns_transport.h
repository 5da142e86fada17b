// What a DNS query needs of the system: UDP sockets, server addresses and fresh identifiers.
// The Windows Sockets transport lives in mx_lookup_win.cpp; tests script their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "crash/delivery/dns_query_datagram.h"

namespace crash {

inline constexpr uint16_t kDnsPort = 53;

// An IPv4 address (a.b.c.d as a << 24 | b << 16 | c << 8 | d) and a port.
struct DnsPeer {
  uint32_t address = 0;
  uint16_t port = 0;
};

// One query's UDP socket, bound to any address and port; closed when destroyed.
class DnsSocket {
 public:
  virtual ~DnsSocket() = default;
  // Sends the datagram to the address at port 53; false when it did not go.
  virtual bool Send(uint32_t address, std::span<const uint8_t> datagram) = 0;
  // Waits at most 5 seconds for one datagram and reads at most buffer's size of it into
  // buffer; its length and where it came from, or nullopt on silence or an error.
  virtual std::optional<size_t> Receive(std::span<uint8_t, kDnsDatagramLimit> buffer,
                                        DnsPeer& sender) = 0;
};

class DnsTransport {
 public:
  virtual ~DnsTransport() = default;
  // A new socket for one query; nullptr when none can be made or bound.
  virtual std::unique_ptr<DnsSocket> Open() = 0;
  // The address of a server given as a dotted address or a host name; nullopt: none.
  virtual std::optional<uint32_t> Address(const std::string& server) = 0;
  // A query identifier that others can't foresee.
  virtual uint16_t NewIdentifier() = 0;
};

}  // namespace crash
