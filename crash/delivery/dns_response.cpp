#include "crash/delivery/dns_response.h"

#include <algorithm>

#include "crash/delivery/dns_query_datagram.h"

namespace crash {
namespace {

constexpr uint8_t kPointerBits = 0xC0;
constexpr size_t kRecordFixedPart = 10;  // type, class, time to live, data length

// A label byte that a host name can hold: printable, no blank, no dot.
bool IsHostNameByte(uint8_t b) {
  return b > 0x20 && b < 0x7F && b != '.';
}

uint8_t AsciiLower(uint8_t b) {
  return b >= 'A' && b <= 'Z' ? static_cast<uint8_t>(b + ('a' - 'A')) : b;
}

// The response's question section is the query's, names compared without case.
bool SameQuestion(std::span<const uint8_t> response, std::span<const uint8_t> query) {
  if (response.size() < query.size()) return false;
  for (size_t i = kDnsHeaderSize; i < query.size(); ++i) {
    if (AsciiLower(response[i]) != AsciiLower(query[i])) return false;
  }
  return true;
}

// One resource record's type and the bounds of its data.
struct Record {
  uint16_t type = 0;
  uint16_t record_class = 0;
  size_t data = 0;
  size_t end = 0;
};

// Reads the record at packet[at]; nullopt when it runs past the packet.
std::optional<Record> ReadRecord(std::span<const uint8_t> packet, size_t& at) {
  std::string owner;
  const std::optional<size_t> after = ReadDnsName(packet, at, packet.size(), owner);
  if (!after || packet.size() - *after < kRecordFixedPart) return std::nullopt;
  Record r;
  r.type = ReadBigEndian16(packet, *after);
  r.record_class = ReadBigEndian16(packet, *after + 2);
  const size_t length = ReadBigEndian16(packet, *after + 8);
  r.data = *after + kRecordFixedPart;
  if (packet.size() - r.data < length) return std::nullopt;
  r.end = r.data + length;
  at = r.end;
  return r;
}

// Reads count records from at, keeping the names in the data of those of the wanted type
// (after the 2-byte preference for mail exchangers). false: the section ran past the packet.
bool ReadSection(std::span<const uint8_t> packet, size_t& at, unsigned count, uint16_t wanted,
                 std::vector<std::string>& names) {
  for (unsigned i = 0; i < count; ++i) {
    const std::optional<Record> r = ReadRecord(packet, at);
    if (!r) return false;
    if (r->type != wanted || r->record_class != kDnsClassIn) continue;
    const size_t skip = wanted == kDnsTypeMx ? 2 : 0;
    if (r->end - r->data < skip) continue;
    std::string name;
    if (ReadDnsName(packet, r->data + skip, r->end, name) && !name.empty()) {
      names.push_back(std::move(name));
    }
  }
  return true;
}

}  // namespace

std::optional<size_t> ReadDnsName(std::span<const uint8_t> packet, size_t at, size_t limit,
                                  std::string& name) {
  name.clear();
  limit = std::min(limit, packet.size());
  std::optional<size_t> after;  // set at the first pointer: the name's own bytes end there
  int jumps = 0;
  while (true) {
    if (at >= limit) return std::nullopt;
    const uint8_t b = packet[at];
    if (b == 0) {
      if (!after) after = at + 1;
      return after;
    }
    if ((b & kPointerBits) == kPointerBits) {
      if (limit - at < 2 || ++jumps > kDnsMaxPointerJumps) return std::nullopt;
      const size_t target = (b & ~kPointerBits) << 8 | packet[at + 1];
      // Only back: a name refers to one written before it, which also ends every loop.
      if (target >= at) return std::nullopt;
      if (!after) after = at + 2;
      at = target;
      limit = packet.size();
      continue;
    }
    if ((b & kPointerBits) != 0) return std::nullopt;  // label types other than plain text
    if (limit - at - 1 < b) return std::nullopt;
    if (name.size() + (name.empty() ? 0 : 1) + b > kDnsMaxNameText) return std::nullopt;
    if (!std::all_of(packet.begin() + at + 1, packet.begin() + at + 1 + b, IsHostNameByte)) {
      return std::nullopt;
    }
    if (!name.empty()) name += '.';
    name.append(packet.begin() + at + 1, packet.begin() + at + 1 + b);
    at += 1 + b;
  }
}

DnsResponse ReadDnsResponse(std::span<const uint8_t> response, std::span<const uint8_t> query) {
  DnsResponse result;
  if (query.size() < kDnsHeaderSize + 5 || response.size() < kDnsHeaderSize) return result;
  const bool same_id = response[0] == query[0] && response[1] == query[1];
  const bool is_response = (response[2] & 0x80) != 0;
  const bool standard_query = (response[2] & 0x78) == 0;
  if (!same_id || !is_response || !standard_query || ReadBigEndian16(response, 4) != 1 ||
      !SameQuestion(response, query)) {
    return result;
  }
  result.response_code = response[3] & 0x0F;
  if (result.response_code != 0) {
    result.kind = DnsResponseKind::kError;
    return result;
  }
  result.kind = DnsResponseKind::kAnswer;
  const uint16_t type = ReadBigEndian16(query, query.size() - 4);
  size_t at = query.size();
  if (!ReadSection(response, at, ReadBigEndian16(response, 6), type, result.answers)) {
    return result;
  }
  if (type == kDnsTypeNs) {
    ReadSection(response, at, ReadBigEndian16(response, 8), kDnsTypeNs, result.authorities);
  }
  return result;
}

}  // namespace crash
