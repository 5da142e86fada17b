// Fuzz target of the DNS response reader. The first byte picks the question (NS or MX of one
// of two names) and whether the rest is the whole datagram or the part after a header and
// question copied from the query, so that both the acceptance checks and the record reading
// see every kind of byte. Names read keep the form of host names, and only an answer to the
// query gives any.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "crash/delivery/dns_query_datagram.h"
#include "crash/delivery/dns_response.h"

namespace {

void CheckName(const std::string& name) {
  if (name.empty() || name.size() > crash::kDnsMaxNameText) std::abort();
  if (name.front() == '.' || name.back() == '.' || name.find("..") != std::string::npos) {
    std::abort();
  }
  for (const char c : name) {
    if (c <= 0x20 || c >= 0x7F) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 1 + crash::kDnsDatagramLimit) return 0;
  const uint8_t mode = data[0];
  const std::span<const uint8_t> rest(data + 1, size - 1);
  std::array<uint8_t, crash::kDnsDatagramLimit> query{};
  const uint16_t type = mode & 1 ? crash::kDnsTypeMx : crash::kDnsTypeNs;
  const std::string_view name = mode & 2 ? "mail.example.test" : "test";
  const size_t query_size = crash::BuildDnsQuery(name, type, 0x5A17, query);
  const std::span<const uint8_t> sent(query.data(), query_size);

  std::vector<uint8_t> response(rest.begin(), rest.end());
  if (mode & 4) {
    // The fuzzed bytes are the flags, the counts and the records after the copied question.
    response.assign(query.begin(), query.begin() + query_size);
    for (size_t i = 0; i < rest.size() && i < 8; ++i)
      response[2 + i] = rest[i];
    response[4] = 0;
    response[5] = 1;
    if (rest.size() > 8) response.insert(response.end(), rest.begin() + 8, rest.end());
    if (response.size() > crash::kDnsDatagramLimit) response.resize(crash::kDnsDatagramLimit);
  }
  const crash::DnsResponse r = crash::ReadDnsResponse(response, sent);
  if (r.kind != crash::DnsResponseKind::kAnswer && (!r.answers.empty() || !r.authorities.empty())) {
    std::abort();
  }
  if (type == crash::kDnsTypeMx && !r.authorities.empty()) std::abort();
  // Every name needs at least a record's fixed part and a label in the response.
  if ((r.answers.size() + r.authorities.size()) * 13 > response.size()) std::abort();
  for (const std::string& n : r.answers)
    CheckName(n);
  for (const std::string& n : r.authorities)
    CheckName(n);

  // The name reader on its own, from positions and limits the bytes choose.
  if (rest.size() >= 2) {
    std::string text;
    const size_t at = rest[0] % rest.size();
    const size_t limit = rest[1] % (rest.size() + 8);
    if (const auto after = crash::ReadDnsName(rest, at, limit, text)) {
      if (*after <= at || *after > std::min(limit, rest.size())) std::abort();
      if (!text.empty()) CheckName(text);
    }
  }
  return 0;
}
