// The walk and its queries over a scripted network: servers that answer from a table, are
// silent, answer with an error, or are imitated by datagrams that don't answer the query.
#include "crash/delivery/mx_walk.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

#include "crash/delivery/dns_query.h"
#include "tests/dns/dns_test_packets.h"

namespace crash {
namespace {

using testing::MakeResponse;
using testing::TestRecord;

struct Sent {
  uint32_t address;
  std::string name;
  uint16_t type;
  uint16_t identifier;
};

// A server: the response to a query (as sent), or nothing for silence.
using Datagrams = std::vector<std::vector<uint8_t>>;
using Server = std::function<Datagrams(std::span<const uint8_t> query)>;

struct Datagram {
  DnsPeer from;
  std::vector<uint8_t> bytes;
};

class ScriptedNet;

class ScriptedSocket final : public DnsSocket {
 public:
  explicit ScriptedSocket(ScriptedNet& net) : net_(net) {}
  bool Send(uint32_t address, std::span<const uint8_t> datagram) override;
  std::optional<size_t> Receive(std::span<uint8_t, kDnsDatagramLimit> buffer,
                                DnsPeer& sender) override {
    if (inbox_.empty()) return std::nullopt;  // 5 seconds of silence
    const Datagram d = inbox_.front();
    inbox_.pop_front();
    sender = d.from;
    const size_t size = std::min(d.bytes.size(), buffer.size());
    std::copy_n(d.bytes.begin(), size, buffer.begin());
    return size;
  }
  std::deque<Datagram> inbox_;

 private:
  ScriptedNet& net_;
};

class ScriptedNet final : public DnsTransport {
 public:
  std::unique_ptr<DnsSocket> Open() override { return std::make_unique<ScriptedSocket>(*this); }
  std::optional<uint32_t> Address(const std::string& server) override {
    const auto it = hosts.find(server);
    if (it == hosts.end()) return std::nullopt;
    return it->second;
  }
  uint16_t NewIdentifier() override { return next_id++; }

  // Names servers answer from a table: (name, type) -> answers, authorities.
  void Zone(uint32_t address,
            std::map<std::pair<std::string, uint16_t>,
                     std::pair<std::vector<TestRecord>, std::vector<TestRecord>>>
                table,
            std::vector<TestRecord> otherwise = {}) {
    servers[address] = [table, otherwise](std::span<const uint8_t> q) {
      const auto it = table.find({QuestionName(q), QuestionType(q)});
      if (it == table.end()) return Datagrams{MakeResponse(q, 0, {}, otherwise)};
      return Datagrams{MakeResponse(q, 0, it->second.first, it->second.second)};
    };
  }

  static std::string QuestionName(std::span<const uint8_t> q) {
    std::string name;
    for (size_t at = 12; q[at] != 0; at += q[at] + 1) {
      if (!name.empty()) name += '.';
      name.append(q.begin() + at + 1, q.begin() + at + 1 + q[at]);
    }
    return name;
  }
  static uint16_t QuestionType(std::span<const uint8_t> q) {
    return static_cast<uint16_t>(q[q.size() - 4] << 8 | q[q.size() - 3]);
  }

  std::map<std::string, uint32_t> hosts;
  std::map<uint32_t, Server> servers;
  // Datagrams that reach the next socket ahead of any answer.
  std::vector<Datagram> injected;
  std::vector<Sent> sent;
  uint16_t next_id = 0x4000;
};

bool ScriptedSocket::Send(uint32_t address, std::span<const uint8_t> datagram) {
  net_.sent.push_back({address, ScriptedNet::QuestionName(datagram),
                       ScriptedNet::QuestionType(datagram),
                       static_cast<uint16_t>(datagram[0] << 8 | datagram[1])});
  for (const Datagram& d : net_.injected)
    inbox_.push_back(d);
  net_.injected.clear();
  const auto it = net_.servers.find(address);
  if (it == net_.servers.end()) return true;  // sent into the void
  for (std::vector<uint8_t>& r : it->second(datagram)) {
    inbox_.push_back({{address, kDnsPort}, std::move(r)});
  }
  return true;
}

constexpr uint32_t kRoot1 = 0x7F00000B, kRoot2 = 0x7F00000C, kTld = 0x7F00000D,
                   kDomain = 0x7F00000E, kChild = 0x7F00000F, kStranger = 0x7F000063;

// Two roots, "test", "example.test" (MX out of preference order), its child zone
// "mail.example.test" on a server of its own.
ScriptedNet TestNet() {
  ScriptedNet net;
  net.hosts = {{"root1", kRoot1},
               {"root2", kRoot2},
               {"ns.tld", kTld},
               {"ns.dom", kDomain},
               {"ns.child", kChild}};
  const std::vector<TestRecord> to_tld = {{2, "ns.tld"}};
  net.Zone(kRoot1, {}, to_tld);
  net.Zone(kRoot2, {}, to_tld);
  net.Zone(kTld, {}, {{2, "ns.dom"}});
  net.Zone(kDomain,
           {{{"example.test", kDnsTypeNs}, {{{2, "ns.dom"}}, {}}},
            {{"example.test", kDnsTypeMx},
             {{{15, "mx2.example.test", 20}, {15, "mx1.example.test", 10}}, {}}},
            {{"host.sub.example.test", kDnsTypeMx}, {{{15, "mx.host", 5}}, {}}},
            {{"mail.example.test", kDnsTypeNs}, {{}, {{2, "ns.child"}}}}},
           {{6, "ns.dom"}});
  net.Zone(kChild,
           {{{"mail.example.test", kDnsTypeNs}, {{{2, "ns.child"}}, {}}},
            {{"mail.example.test", kDnsTypeMx}, {{{15, "mx.mail.example.test", 1}}, {}}}},
           {{6, "ns.child"}});
  return net;
}

std::vector<std::string> Roots() {
  return {"root1", "root2"};
}

TEST(MxWalk, DomainAndZone) {
  EXPECT_EQ(MailDomain("Someone <someone@mail.example.test>"), "mail.example.test");
  EXPECT_EQ(MailDomain("a@b@example.test"), "b@example.test");
  EXPECT_EQ(MailDomain("example.test"), "example.test");
  EXPECT_EQ(MailZone("a.b.example.test"), "b.example.test");
  EXPECT_EQ(MailZone("x.a.b.example.test"), "b.example.test");
  EXPECT_EQ(MailZone("b.example.test"), "b.example.test");
  EXPECT_EQ(MailZone("test"), "test");
}

TEST(MxWalk, ReferralsToTheFirstExchangerOfTheResponse) {
  ScriptedNet net = TestNet();
  EXPECT_EQ(FindMailExchanger(net, "Admin <admin@example.test>", Roots()), "mx2.example.test");
  // Roots (both, one datagram), TLD, the domain's servers for NS, then the one MX question.
  ASSERT_EQ(net.sent.size(), 5u);
  EXPECT_EQ(net.sent[1].address, kRoot2);
  EXPECT_EQ(net.sent[1].identifier, net.sent[0].identifier);
  EXPECT_NE(net.sent[2].identifier, net.sent[0].identifier);  // each query its own identifier
  EXPECT_EQ(net.sent[4].address, kDomain);
  EXPECT_EQ(net.sent[4].type, kDnsTypeMx);
}

TEST(MxWalk, FourLabelsAskTheDomainThenTheZone) {
  ScriptedNet net = TestNet();
  // The child zone: one more referral; its MX found for the domain of four labels.
  EXPECT_EQ(FindMailExchanger(net, "a@host.mail.example.test", Roots()), "mx.mail.example.test");
  ASSERT_GE(net.sent.size(), 2u);
  EXPECT_EQ(net.sent[net.sent.size() - 2].name, "host.mail.example.test");
  EXPECT_EQ(net.sent.back().name, "mail.example.test");
  EXPECT_EQ(net.sent.back().address, kChild);
  // Its own MX, when it has one, wins.
  net.sent.clear();
  EXPECT_EQ(FindMailExchanger(net, "a@host.sub.example.test", Roots()), "mx.host");
  // The zone sub.example.test is not delegated: the domain's servers answer "no such data",
  // and they are the ones asked for the MX.
  EXPECT_EQ(net.sent.back().address, kDomain);
  EXPECT_EQ(net.sent.back().name, "host.sub.example.test");
}

TEST(DnsQuery, WhoseDatagramsCount) {
  ScriptedNet net = TestNet();
  const auto ask = [&net] {
    return AskDns(net, "example.test", {"root1", "", "nowhere", "root2"}, kDnsTypeNs);
  };
  // A forged referral from an address not asked, and one from the right address but another
  // port, each arriving before the real answers.
  const auto forged_for = [](uint16_t id) {
    std::array<uint8_t, kDnsDatagramLimit> q{};
    const size_t n = BuildDnsQuery("example.test", kDnsTypeNs, id, q);
    return MakeResponse(std::span<const uint8_t>(q.data(), n), 0, {}, {{2, "ns.evil"}});
  };
  net.injected = {{{kStranger, kDnsPort}, forged_for(net.next_id)},
                  {{kRoot1, 5353}, forged_for(net.next_id)}};
  DnsQueryResult r = ask();
  EXPECT_EQ(r.authorities, std::vector<std::string>{"ns.tld"});
  // Empty and unknown server names are skipped.
  ASSERT_EQ(net.sent.size(), 2u);

  // Silence after an error answer ends the query, though another server was asked.
  net.sent.clear();
  net.servers[kRoot1] = [](std::span<const uint8_t> q) {
    return Datagrams{MakeResponse(q, 2, {})};
  };
  net.servers.erase(kRoot2);
  r = ask();
  EXPECT_TRUE(r.authorities.empty());
  // A flood of strangers' datagrams ends it too.
  net.servers[kRoot1] = [](std::span<const uint8_t>) { return Datagrams{}; };
  for (int i = 0; i < kDnsMaxIgnoredDatagrams + 5; ++i) {
    net.injected.push_back({{kStranger, kDnsPort}, forged_for(net.next_id)});
  }
  net.servers[kRoot2] = [](std::span<const uint8_t> q) {
    return Datagrams{MakeResponse(q, 0, {}, {{2, "ns.tld"}})};
  };
  r = ask();
  EXPECT_TRUE(r.authorities.empty());
}

TEST(MxWalk, EndlessReferralsAreFollowedTenTimes) {
  ScriptedNet net = TestNet();
  // Every server refers to the next one's name, forever.
  for (uint32_t i = 0; i < 40; ++i) {
    net.hosts["ns" + std::to_string(i)] = 0x7F000100 + i;
    net.Zone(0x7F000100 + i, {}, {{2, "ns" + std::to_string(i + 1)}});
  }
  net.Zone(kRoot1, {}, {{2, "ns0"}});
  EXPECT_EQ(FindMailExchanger(net, "a@sub.example.test", {"root1"}), "");
  // The roots, their referral, ten referral steps and the one MX question.
  EXPECT_EQ(net.sent.size(), 1u + 1 + kMaxReferralSteps + 1);
  // The MX question goes to the servers the last referral named.
  EXPECT_EQ(net.sent.back().address, 0x7F000100u + kMaxReferralSteps + 1);
}

}  // namespace
}  // namespace crash
