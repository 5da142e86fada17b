// The reader of DNS responses: whether a datagram answers the query we sent, and the domain
// names its answer and authority records carry. Every read stays inside the received bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace crash {

enum class DnsResponseKind {
  kForeign,  // not an answer to the query (identifier, flags or question differ): ignored
  kError,    // the answer to the query with a response code other than 0
  kAnswer,   // the answer to the query, response code 0
};

struct DnsResponse {
  DnsResponseKind kind = DnsResponseKind::kForeign;
  int response_code = 0;                 // the low four bits of byte 3, for kError and kAnswer
  std::vector<std::string> answers;      // names of the answer records of the asked type
  std::vector<std::string> authorities;  // names of the authority NS records, NS queries only
};

// The longest name the reader gives, in characters.
inline constexpr size_t kDnsMaxNameText = 253;
// How many compression pointers one name may follow.
inline constexpr int kDnsMaxPointerJumps = 16;

// Reads the domain name at packet[at], whose own bytes lie before limit (pointers lead to
// earlier bytes of the packet only, kDnsMaxPointerJumps at most). Gives the position after
// the name's own bytes and its text ("" for the root) in name; nullopt when the name runs
// past its bounds, loops, is too long or holds a label that can't be part of a host name.
std::optional<size_t> ReadDnsName(std::span<const uint8_t> packet, size_t at, size_t limit,
                                  std::string& name);

// Reads a response to query (as sent, type kDnsTypeNs or kDnsTypeMx). A record that runs past
// the received bytes ends the reading; the names read before it are kept.
DnsResponse ReadDnsResponse(std::span<const uint8_t> response, std::span<const uint8_t> query);

}  // namespace crash
