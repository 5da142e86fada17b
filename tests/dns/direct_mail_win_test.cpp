// The mail action's first way end to end: the exchanger of the recipient's domain found by
// the walk from the built-in root servers (real name servers, started by
// dns/mx_servers_test.sh with MX_SMTP_SPOOL set), the report sent to it on port 25 and read
// back from that server's spool.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "crash/crash_settings.h"
#include "crash/delivery/delivery_log.h"
#include "crash/delivery/report_actions_win.h"

namespace crash {
namespace {

void Print(std::string_view line) {
  std::printf("  log: %.*s\n", static_cast<int>(line.size()), line.data());
}

// A file of the exchanger's spool (a folder of this machine, seen by Wine as drive Z:).
std::string SpoolFile(const char* name) {
  const char* folder = std::getenv("MX_SMTP_SPOOL");
  std::string path = std::string("Z:") + (folder ? folder : "") + "/" + name;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      text.append(buffer, count);
    std::fclose(file);
  }
  return text;
}

TEST(DirectMail, TheReportGoesStraightToTheRecipientsExchanger) {
  ASSERT_NE(std::getenv("MX_SMTP_SPOOL"), nullptr) << "run through dns/mx_servers_test.sh";
  SetDeliveryLog(Print);
  const ActiveSettings settings = MakeActiveSettings(CrashSettings{
      .MailAddress = "Reports <reports@example.test>",
      .SendDirectSmtp = true,
      .SendViaSmtpServer = false,
      .SendViaMapi = false,
      .SendViaMailto = false,
  });
  const std::string report =
      "date/time         : 2026-12-09 12:00\r\n.a line that begins with a period\r\n.\r\nthe end";
  EXPECT_EQ(MailAction(settings, report, nullptr, true), MailResult::Sent);
  SetDeliveryLog(nullptr);

  EXPECT_EQ(SpoolFile("1.env"),
            "MAIL FROM:<reports@example.test>\nRCPT TO:<reports@example.test>\n");
  const std::string mail = SpoolFile("1.eml");
  EXPECT_NE(mail.find("TO: Reports <reports@example.test>\r\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("FROM: kestrapon <reports@example.test>\r\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("SUBJECT: =?ISO-8859-1?Q?Velmo=20Bug=20Report?=\r\n"), std::string::npos)
      << mail;
  // The receiver undid the transparency: the lines stand as the report has them.
  EXPECT_NE(mail.find("\r\n\r\n" + report), std::string::npos) << mail;
  EXPECT_EQ(SpoolFile("2.eml"), "") << "one mail";
}

}  // namespace
}  // namespace crash
