// The query datagram's bytes and the response reader: compression pointers, bounds, which
// datagrams count as the answer, which records give names.
#include "crash/delivery/dns_response.h"

#include <gtest/gtest.h>

#include <array>

#include "crash/delivery/dns_query_datagram.h"
#include "tests/dns/dns_test_packets.h"

namespace crash {
namespace {

using testing::MakeResponse;
using testing::TestRecord;

std::vector<uint8_t> Query(std::string_view name, uint16_t type, uint16_t id = 0xBEEF) {
  std::array<uint8_t, kDnsDatagramLimit> buffer;
  buffer.fill(0xAA);
  const size_t size = BuildDnsQuery(name, type, id, buffer);
  return {buffer.begin(), buffer.begin() + size};
}

TEST(DnsQueryDatagram, HeaderQuestionAndLength) {
  const std::vector<uint8_t> q = Query("example.com", kDnsTypeMx, 0x1234);
  const std::vector<uint8_t> expected = {
      0x12, 0x34, 0,   0,   0,   1,   0,   0,   0, 0,   0,   0,  // header
      7,    'e',  'x', 'a', 'm', 'p', 'l', 'e', 3, 'c', 'o', 'm', 0, 0, 15, 0, 1};
  EXPECT_EQ(q, expected);
  EXPECT_EQ(q.size(), std::string_view("example.com").size() + 18);
  EXPECT_EQ(Query("example.com.", kDnsTypeNs).size(), 29u);  // a final dot: the same name
  EXPECT_EQ(Query("", kDnsTypeNs).size(), 17u);              // the root
  // Names that can't be written as labels.
  EXPECT_TRUE(Query("a..b", kDnsTypeNs).empty());
  EXPECT_TRUE(Query(".a", kDnsTypeNs).empty());
  EXPECT_TRUE(Query(std::string(64, 'x') + ".com", kDnsTypeNs).empty());
  EXPECT_EQ(Query(std::string(63, 'x') + ".com", kDnsTypeNs).size(), 67u + 18);
  std::string long_name;
  while (long_name.size() < 254)
    long_name += "abcdefghi.";
  EXPECT_TRUE(Query(long_name.substr(0, 254), kDnsTypeNs).empty());
}

TEST(DnsName, LabelsPointersAndTheirBounds) {
  // "mail.example" at 0; "smtp" and a pointer to "example" at 14; at 21 a pointer forward to
  // 23, which points back to 21: a loop; the root at 25.
  const std::vector<uint8_t> p = {4, 'm', 'a', 'i', 'l', 7,   'e',  'x', 'a',  'm', 'p',  'l', 'e',
                                  0, 4,   's', 'm', 't', 'p', 0xC0, 5,   0xC0, 23,  0xC0, 21,  0};
  std::string name;
  EXPECT_EQ(ReadDnsName(p, 0, p.size(), name), 14u);
  EXPECT_EQ(name, "mail.example");
  EXPECT_EQ(ReadDnsName(p, 14, p.size(), name), 21u);  // after the pointer's two bytes
  EXPECT_EQ(name, "smtp.example");
  EXPECT_EQ(ReadDnsName(p, 25, p.size(), name), 26u);
  EXPECT_EQ(name, "");
  EXPECT_FALSE(ReadDnsName(p, 23, p.size(), name));  // the loop ends the name
  EXPECT_FALSE(ReadDnsName(p, 21, p.size(), name));  // a pointer forward
  // The name's own bytes must end before the limit; pointed-to bytes may lie before it.
  EXPECT_FALSE(ReadDnsName(p, 0, 13, name));
  EXPECT_EQ(ReadDnsName(p, 14, 21, name), 21u);
  EXPECT_FALSE(ReadDnsName(p, 14, 20, name));  // the pointer's second byte past the limit
  // Past the received bytes: a label longer than what is left, a pointer's lone first byte.
  const std::vector<uint8_t> cut = {5, 'a', 'b', 'c'};
  EXPECT_FALSE(ReadDnsName(cut, 0, 100, name));
  const std::vector<uint8_t> lone = {0, 0xC0};
  EXPECT_FALSE(ReadDnsName(lone, 1, 100, name));
}

TEST(DnsName, HostileNamesEnd) {
  std::string name;
  // A chain of pointers each to the one before: bounded in number.
  std::vector<uint8_t> chain = {1, 'a', 0};
  chain.insert(chain.end(), {0xC0, 0});
  for (int i = 0; i < 40; ++i)
    chain.insert(chain.end(), {0xC0, static_cast<uint8_t>(3 + 2 * i)});
  EXPECT_TRUE(ReadDnsName(chain, 3 + 2 * (kDnsMaxPointerJumps - 1), chain.size(), name));
  EXPECT_EQ(name, "a");
  EXPECT_FALSE(ReadDnsName(chain, 3 + 2 * kDnsMaxPointerJumps, chain.size(), name));
  // A pointer to itself.
  const std::vector<uint8_t> self = {0xC0, 0};
  EXPECT_FALSE(ReadDnsName(self, 0, self.size(), name));
  // Too long a name, labels of other types (0x40, 0x80), a dot or a control byte in a label.
  std::vector<uint8_t> longest;
  for (int i = 0; i < 5; ++i) {
    longest.push_back(63);
    longest.insert(longest.end(), 63, 'x');
  }
  longest.push_back(0);
  EXPECT_FALSE(ReadDnsName(longest, 0, longest.size(), name));
  for (const std::vector<uint8_t>& bad : std::vector<std::vector<uint8_t>>{
           {0x41, 'a', 0}, {0x81, 'a', 0}, {3, 'a', '.', 'b', 0}, {2, 'a', '\n', 0}}) {
    EXPECT_FALSE(ReadDnsName(bad, 0, bad.size(), name));
  }
}

TEST(DnsResponse, OnlyTheAnswerToTheQueryIsRead) {
  const std::vector<uint8_t> q = Query("example.com", kDnsTypeMx);
  const std::vector<uint8_t> good = MakeResponse(q, 0, {{15, "mx.example.com", 10}});
  EXPECT_EQ(ReadDnsResponse(good, q).kind, DnsResponseKind::kAnswer);

  std::vector<uint8_t> other_id = good;
  other_id[1] ^= 1;
  std::vector<uint8_t> not_response = good;
  not_response[2] &= 0x7F;
  std::vector<uint8_t> other_name = good;
  other_name[13] = 'x';
  std::vector<uint8_t> other_type = good;
  other_type[q.size() - 3] = kDnsTypeNs;
  std::vector<uint8_t> two_questions = good;
  two_questions[5] = 2;
  const std::vector<uint8_t> header_only(good.begin(), good.begin() + 12);
  for (const auto& foreign : {other_id, not_response, other_name, other_type, two_questions,
                              header_only, std::vector<uint8_t>(good.begin(), good.begin() + 5)}) {
    const DnsResponse r = ReadDnsResponse(foreign, q);
    EXPECT_EQ(r.kind, DnsResponseKind::kForeign);
    EXPECT_TRUE(r.answers.empty());
  }
  // The question's name compared without case, as servers may echo it.
  std::vector<uint8_t> upper = good;
  upper[13] = 'E';
  EXPECT_EQ(ReadDnsResponse(upper, q).kind, DnsResponseKind::kAnswer);

  // An error answer is the server's answer, but its records are not read.
  const DnsResponse refused = ReadDnsResponse(MakeResponse(q, 5, {{15, "mx.example.com"}}), q);
  EXPECT_EQ(refused.kind, DnsResponseKind::kError);
  EXPECT_EQ(refused.response_code, 5);
  EXPECT_TRUE(refused.answers.empty());
}

TEST(DnsResponse, NamesOfTheAskedRecordsInTheResponsesOrder) {
  const std::vector<uint8_t> mx = Query("example.com", kDnsTypeMx);
  // Out of preference order, with a CNAME among them: the order of the response, MX only.
  const DnsResponse r = ReadDnsResponse(
      MakeResponse(mx, 0,
                   {{15, "b.example.com", 20}, {5, "alias.example.com"}, {15, "a.example.com", 5}},
                   {{2, "ns.example.com"}}),
      mx);
  EXPECT_EQ(r.answers, (std::vector<std::string>{"b.example.com", "a.example.com"}));
  EXPECT_TRUE(r.authorities.empty());  // read for NS questions only

  const std::vector<uint8_t> ns = Query("example.com", kDnsTypeNs);
  // A referral; a "no such data" answer holds the zone's SOA, which names no name server.
  const DnsResponse referral = ReadDnsResponse(
      MakeResponse(ns, 0, {}, {{2, "ns1.example.com"}, {2, "ns2.example.com"}}), ns);
  EXPECT_EQ(referral.authorities, (std::vector<std::string>{"ns1.example.com", "ns2.example.com"}));
  const DnsResponse no_data =
      ReadDnsResponse(MakeResponse(ns, 0, {}, {{6, "ns1.example.com"}}), ns);
  EXPECT_TRUE(no_data.answers.empty());
  EXPECT_TRUE(no_data.authorities.empty());

  // A record cut short ends the reading; names read before it stay.
  std::vector<uint8_t> cut = MakeResponse(ns, 0, {{2, "ns1.example.com"}, {2, "ns2.example.com"}},
                                          {{2, "ns3.example.com"}});
  cut.resize(cut.size() - 3);
  const DnsResponse partial = ReadDnsResponse(cut, ns);
  EXPECT_EQ(partial.answers, (std::vector<std::string>{"ns1.example.com", "ns2.example.com"}));
  EXPECT_TRUE(partial.authorities.empty());
  // A count larger than the records there: the same.
  std::vector<uint8_t> overcount = MakeResponse(ns, 0, {{2, "ns1.example.com"}});
  overcount[7] = 200;
  EXPECT_EQ(ReadDnsResponse(overcount, ns).answers.size(), 1u);
}

}  // namespace
}  // namespace crash
