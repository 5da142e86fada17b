#include "crash/delivery/dns_query_datagram.h"

#include <algorithm>

namespace crash {
namespace {

constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxEncodedName = 255;

void WriteBigEndian16(std::span<uint8_t> out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value >> 8);
  out[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

size_t BuildDnsQuery(std::string_view name, uint16_t type, uint16_t identifier,
                     std::span<uint8_t, kDnsDatagramLimit> out) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  // Each label takes its length byte and its characters, and a zero byte ends the name.
  const size_t encoded = name.empty() ? 1 : name.size() + 2;
  if (encoded > kMaxEncodedName) return 0;
  std::fill(out.begin(), out.end(), uint8_t{0});
  WriteBigEndian16(out, 0, identifier);
  WriteBigEndian16(out, 2, 0x0000);  // standard query, recursion not desired
  WriteBigEndian16(out, 4, 1);       // one question, no other records
  size_t at = kDnsHeaderSize;
  if (!name.empty()) {
    size_t start = 0;
    while (true) {
      const size_t dot = std::min(name.find('.', start), name.size());
      const size_t length = dot - start;
      if (length == 0 || length > kMaxLabel) return 0;
      out[at++] = static_cast<uint8_t>(length);
      for (size_t i = start; i < dot; ++i)
        out[at++] = static_cast<uint8_t>(name[i]);
      if (dot == name.size()) break;
      start = dot + 1;
    }
  }
  out[at++] = 0;
  WriteBigEndian16(out, at, type);
  WriteBigEndian16(out, at + 2, kDnsClassIn);
  return at + 4;
}

}  // namespace crash
