// MailExchanger under Windows Sockets against real name servers on loopback addresses, which
// dns/mx_servers_test.sh starts with their zones and names in a private hosts file: two roots
// (the built-in root servers' names lead to them), the "test" zone, example.test with a
// delegated child zone mail.example.test, a server that refuses every question, a silent
// one, roots that answer late or send forged answers first, a closed port.
#include <windows.h>

#include <gtest/gtest.h>
#include <winsock.h>

#include <string>
#include <vector>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mx_lookup_win.h"

namespace crash {
namespace {

std::vector<std::string>* g_log = nullptr;

void Collect(std::string_view line) {
  if (g_log) g_log->emplace_back(line);
}

class MxLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log = &log_;
    SetDeliveryLog(Collect);
  }
  void TearDown() override {
    SetDeliveryLog(nullptr);
    g_log = nullptr;
    if (HasFailure()) {
      for (const std::string& line : log_)
        std::printf("  log: %s\n", line.c_str());
    }
  }
  // Lines of the delivery log that start with prefix.
  int Lines(std::string_view prefix) const {
    int n = 0;
    for (const std::string& line : log_)
      n += line.starts_with(prefix) ? 1 : 0;
    return n;
  }
  bool Logged(std::string_view part) const {
    for (const std::string& line : log_) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::vector<std::string> log_;
};

const std::vector<std::string> kRoots = {"a.root-servers.net", "b.root-servers.net"};

TEST(MxLookupSetting, TheServersNamesResolveInsideTheTestRunOnly) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  const hostent* host = gethostbyname("silent.dns-test");
  ASSERT_NE(host, nullptr) << "run through dns/mx_servers_test.sh, which gives these names";
  EXPECT_EQ(reinterpret_cast<const in_addr*>(host->h_addr_list[0])->S_un.S_addr,
            inet_addr("127.53.0.7"));
  WSACleanup();
}

TEST_F(MxLookup, FirstExchangerOfTheResponseWhateverItsPreference) {
  // The zone lists preferences 20, 10, 30; the built-in roots' names lead to our roots.
  EXPECT_EQ(MailExchanger("Admin <admin@example.test>", {}), "mx-b.example.test");
  EXPECT_EQ(Lines("DNS MX "), 2);  // the question and its answer
}

TEST_F(MxLookup, FourLabelsThroughTheChildZone) {
  // Roots, "test", example.test, the child zone's own server: the domain has no MX, its
  // zone has.
  EXPECT_EQ(MailExchanger("user@host.mail.example.test", kRoots), "mx.mail.example.test");
  EXPECT_TRUE(Logged("DNS MX host.mail.example.test: 127.53.0.5:53 answered none"));
  EXPECT_TRUE(Logged("DNS MX mail.example.test: 127.53.0.5:53 answered mx.mail.example.test"));
  // A domain of four labels with its own MX: the zone is not asked.
  log_.clear();
  EXPECT_EQ(MailExchanger("user@office.mail.example.test", kRoots), "mx.office.mail.example.test");
  EXPECT_FALSE(Logged("DNS MX mail.example.test"));
}

TEST_F(MxLookup, NoExchanger) {
  // plain.test is its own zone and has no MX: one MX question, nothing found.
  EXPECT_EQ(MailExchanger("user@plain.test", kRoots), "");
  EXPECT_EQ(Lines("DNS MX plain.test: asked"), 1);
  EXPECT_EQ(Lines("DNS MX "), 2);
  // A domain under no zone the roots know.
  EXPECT_EQ(MailExchanger("user@nowhere.invalid", kRoots), "");
}

TEST_F(MxLookup, RootsThatRefuseOrAreClosedAreSkipped) {
  // The refusal comes first, the second root's answer half a second later.
  EXPECT_EQ(MailExchanger("admin@example.test", {"refused.dns-test", "slow.dns-test"}),
            "mx-b.example.test");
  EXPECT_TRUE(Logged("DNS NS example.test: 127.53.0.6:53 answered with response code 5"));
  // Nothing listens at the first one's port 53.
  EXPECT_EQ(MailExchanger("admin@example.test", {"closed.dns-test", "127.53.0.1"}),
            "mx-b.example.test");
}

TEST_F(MxLookup, ForgedAnswersAreIgnored) {
  // The root at .10 first sends a referral to a silent server from .11, which was not asked,
  // then one from itself under another identifier, then the real root's answer.
  EXPECT_EQ(MailExchanger("admin@example.test", {"forger.dns-test"}), "mx-b.example.test");
  EXPECT_TRUE(Logged("DNS NS example.test: ignored a datagram from 127.53.0.11:53"));
  EXPECT_TRUE(Logged("DNS NS example.test: ignored a datagram from 127.53.0.10:53"));
  EXPECT_FALSE(Logged("silent.dns-test"));
}

TEST_F(MxLookup, OneSilentRootIsPassedASilentAndALateOneEndTheLookup) {
  EXPECT_EQ(MailExchanger("admin@example.test", {"silent.dns-test", "a.root-servers.net"}),
            "mx-b.example.test");
  log_.clear();
  const DWORD start = GetTickCount();
  // The second root answers after 6 seconds: not waited for.
  EXPECT_EQ(MailExchanger("admin@example.test", {"silent.dns-test", "late.dns-test"}), "");
  const DWORD spent = GetTickCount() - start;
  // One wait of 5 seconds, then nothing more is asked.
  EXPECT_GE(spent, 4900u);
  EXPECT_LT(spent, 9500u);
  EXPECT_EQ(Lines("DNS NS example.test: no answer within 5 s"), 1);
  EXPECT_EQ(Lines("DNS MX "), 0);
}

}  // namespace
}  // namespace crash
