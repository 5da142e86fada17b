// The query datagram of DNS over UDP: a 12-byte header and one question, numbers big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace crash {

inline constexpr size_t kDnsDatagramLimit = 512;  // the largest datagram sent or read
inline constexpr size_t kDnsHeaderSize = 12;      // identifier, flags and the four counts
inline constexpr uint16_t kDnsTypeNs = 2;         // question type: name servers
inline constexpr uint16_t kDnsTypeMx = 15;        // question type: mail exchangers
inline constexpr uint16_t kDnsClassIn = 1;        // the Internet class

// Writes the query for name ("example.com", a final "." allowed; empty: the root) and type
// with the identifier into out, recursion not desired; returns its length (the name's
// length + 18). 0: the name can't be asked (an empty label, a label over 63 characters,
// more than 255 bytes as labels).
size_t BuildDnsQuery(std::string_view name, uint16_t type, uint16_t identifier,
                     std::span<uint8_t, kDnsDatagramLimit> out);

// The 16-bit big-endian number at data[at]; the caller checks that both bytes are there.
inline uint16_t ReadBigEndian16(std::span<const uint8_t> data, size_t at) {
  return static_cast<uint16_t>(data[at] << 8 | data[at + 1]);
}

}  // namespace crash
