// Responses for the DNS tests, made as a server makes them: the query's header and question
// echoed, then the records, names written out label by label.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace crash::testing {

struct TestRecord {
  uint16_t type;            // 2 NS, 15 MX, 5 CNAME, 6 SOA, ...
  std::string target;       // the name in the record's data
  uint16_t preference = 0;  // MX only
};

inline void AppendName(std::vector<uint8_t>& out, const std::string& name) {
  size_t start = 0;
  while (start < name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    out.push_back(static_cast<uint8_t>(dot - start));
    out.insert(out.end(), name.begin() + start, name.begin() + dot);
    start = dot + 1;
  }
  out.push_back(0);
}

inline void Append16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

// A record owned by the query's name (a pointer to offset 12), class IN.
inline void AppendRecord(std::vector<uint8_t>& out, const TestRecord& r) {
  out.insert(out.end(), {0xC0, 12});
  Append16(out, r.type);
  Append16(out, 1);
  out.insert(out.end(), {0, 0, 0x0E, 0x10});
  std::vector<uint8_t> data;
  if (r.type == 15) Append16(data, r.preference);
  AppendName(data, r.target);
  if (r.type == 6) data.insert(data.end(), 22, 0);  // SOA: the second name and five numbers
  Append16(out, static_cast<unsigned>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

// The answer to query (as sent) with the response code and the two sections.
inline std::vector<uint8_t> MakeResponse(std::span<const uint8_t> query, int response_code,
                                         const std::vector<TestRecord>& answers,
                                         const std::vector<TestRecord>& authorities = {}) {
  std::vector<uint8_t> out(query.begin(), query.end());
  out[2] = 0x84;  // a response, authoritative
  out[3] = static_cast<uint8_t>(response_code);
  out[6] = 0;
  out[7] = static_cast<uint8_t>(answers.size());
  out[8] = 0;
  out[9] = static_cast<uint8_t>(authorities.size());
  for (const TestRecord& r : answers)
    AppendRecord(out, r);
  for (const TestRecord& r : authorities)
    AppendRecord(out, r);
  return out;
}

}  // namespace crash::testing
