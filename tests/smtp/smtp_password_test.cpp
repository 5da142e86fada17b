#include "crash/delivery/smtp_password.h"

#include <gtest/gtest.h>

#include <string>

#include "crash/crash_settings.h"

namespace crash {
namespace {

TEST(SmtpPassword, StoredFormRestoresForEveryLengthAndKey) {
  const std::string letters = "pAssw0rd with blanks, \x01\x08\xff and more letters than a block";
  for (const auto& [server, account] : {std::pair{"mail.example.org", "reporter"},
                                        {"", "reporter"},
                                        {"mail.example.org", ""},
                                        {"", ""}}) {
    for (size_t length = 0; length <= 40; ++length) {
      const std::string password = letters.substr(0, length);
      const std::string stored = TransformSmtpPassword(password, server, account);
      EXPECT_EQ(RestoreSmtpPassword(stored, server, account), password)
          << server << "/" << account << " " << length;
      if (length > 0 && (*server || *account)) {
        EXPECT_NE(stored, password);
      }
    }
  }
  const std::string stored = TransformSmtpPassword("secret", "mail.example.org", "reporter");
  EXPECT_NE(RestoreSmtpPassword(stored, "mail.example.org", "reporter2"), "secret");
  EXPECT_NE(RestoreSmtpPassword(stored, "reporter", "mail.example.org"), "secret");
}

TEST(SmtpPassword, StartUpRestoresIntoTheActiveSettings) {
  const std::string stored = TransformSmtpPassword("s3cret!", "smtp.example.org", "desk");
  CrashSettings record;
  record.SmtpServer = "smtp.example.org";
  record.SmtpAccount = "desk";
  record.SmtpPassword = stored;
  EXPECT_EQ(MakeActiveSettings(record).TransformedPassword, "s3cret!");
  // The longest password: its stored form is longer than the password's limit.
  const std::string longest(75, 'p');
  const std::string long_stored = TransformSmtpPassword(longest, "smtp.example.org", "desk");
  EXPECT_GT(long_stored.size(), 75u);
  record.SmtpPassword = long_stored;
  EXPECT_EQ(MakeActiveSettings(record).TransformedPassword, longest);
  record.SmtpPassword = "";
  EXPECT_EQ(MakeActiveSettings(record).TransformedPassword, "");
}

}  // namespace
}  // namespace crash
