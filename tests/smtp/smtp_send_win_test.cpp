// SendMail against real mail servers on 127.0.0.1 (tests/smtp/mail_servers.py, started by
// run_with_servers.sh): what arrives in the servers' spool, byte for byte, and which
// sessions end with false.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mail_text.h"
#include "crash/delivery/smtp_send_win.h"

namespace crash {
namespace {

namespace fs = std::filesystem;

fs::path TestFolder() {
  const char* dir = std::getenv("SMTP_TEST_DIR");
  return dir ? fs::path(dir) : fs::path();
}

int Port(const std::string& name) {
  std::ifstream ports(TestFolder() / "ports");
  std::string listener;
  int port = 0;
  while (ports >> listener >> port) {
    if (listener == name) return port;
  }
  ADD_FAILURE() << "no listener " << name;
  return 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One message a server took: its envelope ("MAIL FROM:<...>" and "RCPT TO:<...>" lines)
// and its text as it arrived, the transparency undone.
struct Delivered {
  std::string envelope;
  std::string data;
};

// The messages in a listener's spool, oldest first; they are removed.
std::vector<Delivered> TakeSpool(const std::string& name) {
  std::map<int, Delivered> messages;
  const fs::path folder = TestFolder() / "spool" / name;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".eml") continue;
    const fs::path env = fs::path(entry.path()).replace_extension(".env");
    messages[std::stoi(entry.path().stem().string())] = {ReadFile(env), ReadFile(entry.path())};
    fs::remove(entry.path());
    fs::remove(env);
  }
  std::vector<Delivered> list;
  for (auto& [number, message] : messages)
    list.push_back(std::move(message));
  return list;
}

// The one message a listener's spool holds.
Delivered TakeOne(const std::string& name) {
  std::vector<Delivered> messages = TakeSpool(name);
  EXPECT_EQ(messages.size(), 1u) << name;
  return messages.empty() ? Delivered{} : messages.front();
}

MailSend Mail(const std::string& listener) {
  MailSend mail;
  mail.from = "Velmo Reporter <reporter@velmo.example>";
  mail.to = "Bug Desk <desk@example.org>";
  mail.subject = "Velmo Bug Report";
  mail.body = "exception class : EAccessViolation\r\nsecond line";
  mail.server = "127.0.0.1";
  mail.port = Port(listener);
  return mail;
}

// The delivery log's lines while a test runs.
std::mutex g_log_lock;
std::vector<std::string> g_log;
void Collect(std::string_view line) {
  std::lock_guard<std::mutex> hold(g_log_lock);
  g_log.emplace_back(line);
  // SMTP_TEST_LOG=1 shows every step.
  static const bool show = std::getenv("SMTP_TEST_LOG") != nullptr;
  if (show)
    std::printf("%u %.*s\n", static_cast<unsigned>(GetTickCount() % 100000),
                static_cast<int>(line.size()), line.data());
}

class SmtpSend : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TestFolder().empty()) << "SMTP_TEST_DIR names no folder: run through "
                                          "tests/smtp/run_with_servers.sh";
    g_log.clear();
    SetDeliveryLog(Collect);
    for (const char* name : {"accept", "auth", "plain_auth", "reject"})
      TakeSpool(name);
  }
  void TearDown() override { SetDeliveryLog(nullptr); }

  static std::string Log() {
    std::string all;
    for (const std::string& line : g_log)
      all += line + "\n";
    return all;
  }
};

const std::regex kHeader(
    "TO: (.*)\r\nFROM: (.*)\r\nSUBJECT: (.*)\r\n"
    "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] "
    "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) 20[0-9][0-9] "
    "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] "
    "[-+][0-9]{4}\r\n");

TEST_F(SmtpSend, PlainMessageWithPeriodLines) {
  MailSend mail = Mail("accept");
  mail.body = ".hidden first\r\nmiddle\r\n.\r\n.\r\n..two\r\nlast.";
  ASSERT_TRUE(SendMail(mail)) << Log();
  const Delivered got = TakeOne("accept");
  EXPECT_EQ(got.envelope, "MAIL FROM:<reporter@velmo.example>\nRCPT TO:<desk@example.org>\n");
  std::smatch header;
  ASSERT_TRUE(std::regex_search(got.data, header, kHeader, std::regex_constants::match_continuous))
      << got.data;
  EXPECT_EQ(header[1], "Bug Desk <desk@example.org>");
  EXPECT_EQ(header[2], "Velmo Reporter <reporter@velmo.example>");
  EXPECT_EQ(header[3], "=?ISO-8859-1?Q?Velmo=20Bug=20Report?=");
  EXPECT_EQ(got.data.substr(header.length()), "\r\n" + mail.body + "\r\n");
  EXPECT_EQ(got.data.find("MIME-Version"), std::string::npos);
  EXPECT_NE(Log().find("smtp 127.0.0.1:" + std::to_string(mail.port) + ": greeting ok (220 "),
            std::string::npos)
      << Log();
}

TEST_F(SmtpSend, BareAddressesAndEmptySender) {
  MailSend mail = Mail("accept");
  mail.from = "";
  mail.to = "desk@example.org";
  mail.body = "line\nwith bare line ends\n.\n";
  ASSERT_TRUE(SendMail(mail)) << Log();
  const Delivered got = TakeOne("accept");
  EXPECT_EQ(got.envelope, "MAIL FROM:<desk@example.org>\nRCPT TO:<desk@example.org>\n");
  std::smatch header;
  ASSERT_TRUE(std::regex_search(got.data, header, kHeader));
  EXPECT_EQ(header[1], "<desk@example.org>");
  EXPECT_EQ(header[2], "<desk@example.org>");
  EXPECT_EQ(got.data.substr(header.length()), "\r\nline\r\nwith bare line ends\r\n.\r\n\r\n");
}

// Base64 of the standard alphabet back to bytes; every character must be of it.
std::string DecodeBase64(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    if (c == '=') break;
    const size_t value = kAlphabet.find(c);
    if (value == std::string::npos) {
      ADD_FAILURE() << "not Base64: " << int(c);
      return {};
    }
    bits = bits << 6 | static_cast<uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return bytes;
}

TEST_F(SmtpSend, AttachmentArrivesByteForByte) {
  const fs::path file = TestFolder() / "bugreport.txt";
  std::string content;
  for (int i = 0; i < 5000; ++i)
    content += static_cast<char>((i * 7919 + i / 256) & 0xFF);
  std::ofstream(file, std::ios::binary) << content;

  MailSend mail = Mail("accept");
  mail.attachment = file.string();
  mail.body = ".dot line\r\nreport";
  ASSERT_TRUE(SendMail(mail)) << Log();
  const Delivered got = TakeOne("accept");
  std::smatch header;
  ASSERT_TRUE(std::regex_search(got.data, header, kHeader));
  const std::string b(kMailBoundary);
  const std::string part_head =
      "--" + b +
      "\r\nContent-Type: application/octet-stream; name=\"bugreport.txt\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"bugreport.txt\"\r\n\r\n";
  const std::string start = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + b +
                            "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n--" + b +
                            "\r\n\r\n" + mail.body + "\r\n" + part_head;
  const std::string rest = got.data.substr(header.length());
  ASSERT_EQ(rest.substr(0, start.size()), start);
  const std::string closing = "--" + b + "--\r\n\r\n";
  ASSERT_TRUE(rest.ends_with(closing)) << rest.substr(rest.size() - 100);
  const std::string lines = rest.substr(start.size(), rest.size() - start.size() - closing.size());
  std::string base64;
  std::istringstream in(lines);
  std::string line;
  size_t count = 0;
  while (std::getline(in, line)) {
    ASSERT_TRUE(line.ends_with("\r"));
    line.pop_back();
    ++count;
    if (count < (content.size() + 56) / 57) {
      EXPECT_EQ(line.size(), 76u) << count;
    }
    base64 += line;
  }
  EXPECT_EQ(count, (content.size() + 56) / 57);
  EXPECT_EQ(DecodeBase64(base64), content);
}

TEST_F(SmtpSend, EmptyAndMissingAttachments) {
  const fs::path empty = TestFolder() / "empty.txt";
  std::ofstream(empty, std::ios::binary).close();
  MailSend mail = Mail("accept");
  mail.attachment = empty.string();
  ASSERT_TRUE(SendMail(mail)) << Log();
  Delivered got = TakeOne("accept");
  const std::string b(kMailBoundary);
  EXPECT_TRUE(got.data.ends_with("MIME format.\r\n\r\n--" + b + "\r\n\r\n" + mail.body + "\r\n--" +
                                 b + "--\r\n\r\n"))
      << got.data;

  mail.attachment = (TestFolder() / "no such file.txt").string();
  ASSERT_TRUE(SendMail(mail)) << Log();
  got = TakeOne("accept");
  std::smatch header;
  ASSERT_TRUE(std::regex_search(got.data, header, kHeader));
  EXPECT_EQ(got.data.substr(header.length()), "\r\n" + mail.body + "\r\n");
}

TEST_F(SmtpSend, AuthLogin) {
  MailSend mail = Mail("auth");
  mail.account = "reporter";
  mail.password = "s3cret pass";
  EXPECT_TRUE(SendMail(mail)) << Log();
  EXPECT_EQ(TakeOne("auth").envelope,
            "MAIL FROM:<reporter@velmo.example>\nRCPT TO:<desk@example.org>\n");

  mail.password = "wrong";
  EXPECT_FALSE(SendMail(mail)) << Log();
  // Without credentials the server wants authentication first.
  mail.account = mail.password = "";
  EXPECT_FALSE(SendMail(mail)) << Log();
  EXPECT_TRUE(TakeSpool("auth").empty());

  // Credentials for servers that offer no LOGIN: the session ends with QUIT and false.
  g_log.clear();
  mail = Mail("plain_auth");
  mail.account = "reporter";
  mail.password = "s3cret pass";
  EXPECT_FALSE(SendMail(mail));
  EXPECT_NE(Log().find(": AUTH LOGIN not offered\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find(": QUIT ok (221"), std::string::npos) << Log();
  mail.port = Port("accept");
  EXPECT_FALSE(SendMail(mail));
  EXPECT_TRUE(TakeSpool("plain_auth").empty());
  EXPECT_TRUE(TakeSpool("accept").empty());
}

TEST_F(SmtpSend, RejectedEhloAndRecipient) {
  MailSend mail = Mail("reject");
  EXPECT_TRUE(SendMail(mail)) << Log();
  EXPECT_NE(Log().find(": EHLO failed (502"), std::string::npos) << Log();
  EXPECT_NE(Log().find(": HELO ok (250"), std::string::npos) << Log();
  EXPECT_EQ(TakeSpool("reject").size(), 1u);

  mail.to = "refused@example.org";
  EXPECT_FALSE(SendMail(mail)) << Log();
  mail.to = "desk@example.org";
  mail.account = "reporter";
  mail.password = "s3cret pass";
  EXPECT_FALSE(SendMail(mail)) << Log();
  EXPECT_TRUE(TakeSpool("reject").empty());
}

TEST_F(SmtpSend, RepliesSplitAcrossPacketsOrSlow) {
  for (const char* relay : {"split", "slow"}) {
    const MailSend mail = Mail(relay);
    EXPECT_TRUE(SendMail(mail)) << relay << "\n" << Log();
    EXPECT_EQ(TakeSpool("accept").size(), 1u) << relay;
  }
}

TEST_F(SmtpSend, LateGreetingAndNoAnswerToQuit) {
  EXPECT_FALSE(SendMail(Mail("late"))) << Log();
  EXPECT_TRUE(TakeSpool("accept").empty());
  g_log.clear();
  // The server takes the mail but never answers QUIT: the send counts as failed.
  EXPECT_FALSE(SendMail(Mail("no_quit"))) << Log();
  EXPECT_NE(Log().find(": end of data ok (250"), std::string::npos) << Log();
  EXPECT_NE(Log().find(": QUIT failed (no reply)"), std::string::npos) << Log();
  EXPECT_EQ(TakeSpool("accept").size(), 1u);
}

TEST_F(SmtpSend, HostileServers) {
  for (const char* name : {"bad_code", "huge_line", "endless", "mixed_codes"}) {
    g_log.clear();
    EXPECT_FALSE(SendMail(Mail(name))) << name << "\n" << Log();
  }
}

// The server wants STARTTLS before AUTH and mail, and AUTH only over TLS; a long attachment
// takes many records each way.
TEST_F(SmtpSend, StartTlsBeforeAuthAndData) {
  const fs::path file = TestFolder() / "long report.txt";
  std::string content;
  for (int i = 0; i < 40000; ++i)
    content += static_cast<char>((i * 31 + i / 97) & 0xFF);
  std::ofstream(file, std::ios::binary) << content;
  MailSend mail = Mail("tls");
  mail.account = "reporter";
  mail.password = "s3cret pass";
  mail.attachment = file.string();
  ASSERT_TRUE(SendMail(mail)) << Log();
  EXPECT_NE(Log().find(": STARTTLS ok (220"), std::string::npos) << Log();
  EXPECT_NE(Log().find(": TLS ok\n"), std::string::npos) << Log();
  const Delivered got = TakeOne("tls");
  EXPECT_EQ(got.envelope,
            "MAIL FROM:<reporter@velmo.example>\nRCPT TO:<desk@example.org>\nover TLS\n");
  const size_t part = got.data.find("filename=\"long report.txt\"\r\n\r\n");
  ASSERT_NE(part, std::string::npos);
  const size_t start = got.data.find("\r\n\r\n", part) + 4;
  const size_t end = got.data.find("--" + std::string(kMailBoundary) + "--", start);
  ASSERT_NE(end, std::string::npos);
  std::string base64 = got.data.substr(start, end - start);
  std::erase(base64, '\r');
  std::erase(base64, '\n');
  EXPECT_EQ(DecodeBase64(base64), content);
}

// A server that says yes to STARTTLS and then refuses the handshake gets the mail on a
// second connection without TLS.
TEST_F(SmtpSend, FailedHandshakeFallsBackToPlain) {
  EXPECT_TRUE(SendMail(Mail("broken_tls"))) << Log();
  EXPECT_NE(Log().find(": TLS failed\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find(": again without TLS\n"), std::string::npos) << Log();
  EXPECT_EQ(TakeOne("accept").envelope,
            "MAIL FROM:<reporter@velmo.example>\nRCPT TO:<desk@example.org>\n");
}

TEST_F(SmtpSend, OtherOutcomes) {
  MailSend mail = Mail("accept");
  mail.to = "";
  EXPECT_FALSE(SendMail(mail));
  EXPECT_EQ(Log(), "smtp: no recipient\n");
  // Nothing to send: RSET instead of DATA, and true.
  mail = Mail("accept");
  mail.subject = mail.body = "";
  EXPECT_TRUE(SendMail(mail)) << Log();
  EXPECT_NE(Log().find(": RSET ok (250"), std::string::npos) << Log();
  // A host name is looked up.
  mail = Mail("accept");
  mail.server = "localhost";
  EXPECT_TRUE(SendMail(mail)) << Log();
  EXPECT_EQ(TakeSpool("accept").size(), 1u);
  mail.port = Port("closed");
  EXPECT_FALSE(SendMail(mail));
  mail.server = "no-such-host.invalid";
  EXPECT_FALSE(SendMail(mail));
  // No server: the recipient domain's exchanger, here from a root that never answers.
  g_log.clear();
  mail.server = "";
  mail.root_servers = {"127.83.0.1"};
  EXPECT_FALSE(SendMail(mail));
  EXPECT_NE(Log().find("smtp: no mail exchanger for Bug Desk <desk@example.org>\n"),
            std::string::npos)
      << Log();
}

}  // namespace
}  // namespace crash
