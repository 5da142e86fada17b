// The password tool's lines, compiled into a settings record as a program would, restore to
// the password at start-up (the build runs the tool; see tests/smtp.cmake).
#include <gtest/gtest.h>

#include "crash/crash_settings.h"

namespace {

constinit const crash::CrashSettings kFromTool{
#include "smtp_password_lines.inc"
};

TEST(SmtpPasswordTool, ItsLinesRestoreToThePassword) {
  EXPECT_EQ(kFromTool.SmtpServer, "mail.example.org");
  EXPECT_EQ(kFromTool.SmtpAccount, "bug \"desk\"");
  EXPECT_NE(kFromTool.SmtpPassword, "pa ss\\w\xc3\xb6rd?");
  EXPECT_EQ(crash::MakeActiveSettings(kFromTool).TransformedPassword, "pa ss\\w\xc3\xb6rd?");
}

}  // namespace
