#include "crash/delivery/mail_action.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace crash {
namespace {

// Records every call; each way answers as set.
class FakeWays final : public MailWays {
 public:
  bool online = true;
  std::vector<bool> smtp_answers;  // one per SMTP attempt, in order; missing: false
  MailResult mapi_answer = MailResult::Failed;
  bool mailto_answer = false;
  bool file_exists = true;

  std::vector<std::string> calls;
  std::vector<MailSend> smtp_mails;
  std::string mapi_attachment;

  bool Online() override {
    calls.push_back("online");
    return online;
  }
  bool SendSmtp(const MailSend& mail) override {
    calls.push_back(mail.server.empty() ? "smtp direct" : "smtp " + mail.server);
    smtp_mails.push_back(mail);
    const size_t n = smtp_mails.size() - 1;
    return n < smtp_answers.size() && smtp_answers[n];
  }
  MailResult SendMapi(const std::string&, const std::string&, const std::string&,
                      const std::string& attachment, bool silent) override {
    calls.push_back(silent ? "mapi silent" : "mapi");
    mapi_attachment = attachment;
    return mapi_answer;
  }
  bool SendMailto(const std::string& to, const std::string&, const std::string&) override {
    calls.push_back("mailto " + to);
    return mailto_answer;
  }
  void LeaveTopmost() override { calls.push_back("not topmost"); }
  void ShowMessage(std::string_view text, std::string_view, bool error) override {
    calls.push_back((error ? "error: " : "info: ") + std::string(text));
  }
  bool FileExists(const std::string&) override { return file_exists; }
  void DeleteFile(const std::string& path) override { calls.push_back("delete " + path); }
};

ActiveSettings Settings() {
  CrashSettings record;
  record.MailAddress = "bugs@x.example";
  record.SendViaSmtpServer = true;
  record.SmtpServer = "mail.x.example";
  record.SmtpAccount = "me";
  record.SmtpPort = 587;
  record.MailSuccessText = "sent";
  record.MailFailureText = "failed";
  ActiveSettings settings = MakeActiveSettings(record);
  settings.TransformedPassword = "secret";
  settings.RootNameServers = {"127.0.0.2"};
  return settings;
}

using Calls = std::vector<std::string>;

TEST(MailAction, SmtpDirectThenServerThenMapiThenMailto) {
  FakeWays ways;
  EXPECT_EQ(RunMailAction(Settings(), "report", "C:\\b.txt", false, ways), MailResult::Failed);
  EXPECT_EQ(ways.calls, (Calls{"online", "smtp direct", "online", "smtp mail.x.example", "mapi",
                               "not topmost", "mailto bugs@x.example", "error: failed"}));
  ASSERT_EQ(ways.smtp_mails.size(), 2u);
  const MailSend& direct = ways.smtp_mails[0];
  EXPECT_EQ(direct.from, "kestrapon <bugs@x.example>");
  EXPECT_EQ(direct.port, 25);
  EXPECT_TRUE(direct.account.empty() && direct.password.empty());
  EXPECT_EQ(direct.root_servers, std::vector<std::string>{"127.0.0.2"});
  const MailSend& server = ways.smtp_mails[1];
  EXPECT_EQ(server.port, 587);
  EXPECT_EQ(server.account, "me");
  EXPECT_EQ(server.password, "secret");
  EXPECT_EQ(server.body, "report");
  EXPECT_EQ(server.attachment, "");  // AttachBugReportFile is off
}

TEST(MailAction, SmtpSuccessShowsTheSuccessTextAndDeletesTheAttachment) {
  ActiveSettings settings = Settings();
  settings.AttachBugReportFile = true;
  settings.DeleteFileAfterMail = true;
  FakeWays ways;
  ways.smtp_answers = {false, true};
  EXPECT_EQ(RunMailAction(settings, "r", "C:\\b.txt", false, ways), MailResult::Sent);
  EXPECT_EQ(ways.smtp_mails[1].attachment, "C:\\b.txt");
  EXPECT_EQ(ways.calls, (Calls{"online", "smtp direct", "online", "smtp mail.x.example",
                               "info: sent", "delete C:\\b.txt"}));
}

TEST(MailAction, OfflineTriesNoSmtpButMapiAndMailto) {
  FakeWays ways;
  ways.online = false;
  ways.mailto_answer = true;
  EXPECT_EQ(RunMailAction(Settings(), "r", "", false, ways), MailResult::Sent);
  // No message: a mail handed to mailto shows none.
  EXPECT_EQ(ways.calls,
            (Calls{"online", "online", "mapi", "not topmost", "mailto bugs@x.example"}));
}

TEST(MailAction, MapiCancelledEndsQuietlyAndKeepsTheAttachment) {
  ActiveSettings settings = Settings();
  settings.AttachBugReportFile = true;
  settings.DeleteFileAfterMail = true;
  settings.SendDirectSmtp = false;
  settings.SendViaSmtpServer = false;
  FakeWays ways;
  ways.mapi_answer = MailResult::Cancelled;
  EXPECT_EQ(RunMailAction(settings, "r", "C:\\b.txt", false, ways), MailResult::Cancelled);
  EXPECT_EQ(ways.calls, (Calls{"mapi"}));
  EXPECT_EQ(ways.mapi_attachment, "C:\\b.txt");
}

TEST(MailAction, SilentUsesNoMailtoAndShowsNothing) {
  ActiveSettings settings = Settings();
  settings.AttachBugReportFile = true;
  settings.DeleteFileAfterMail = true;
  FakeWays ways;
  ways.file_exists = false;  // the attachment is dropped
  EXPECT_EQ(RunMailAction(settings, "r", "C:\\b.txt", true, ways), MailResult::Failed);
  EXPECT_EQ(ways.calls,
            (Calls{"online", "smtp direct", "online", "smtp mail.x.example", "mapi silent"}));
  EXPECT_EQ(ways.mapi_attachment, "");
  // Sent by MAPI silently: the attachment that was used is deleted, no message.
  ways = FakeWays();
  ways.mapi_answer = MailResult::Sent;
  EXPECT_EQ(RunMailAction(settings, "r", "C:\\b.txt", true, ways), MailResult::Sent);
  EXPECT_EQ(ways.calls.back(), "delete C:\\b.txt");
}

TEST(MailAction, MailtoDropsTheAttachmentSoItIsNotDeleted) {
  ActiveSettings settings = Settings();
  settings.AttachBugReportFile = true;
  settings.DeleteFileAfterMail = true;
  settings.MailAddress = "";
  FakeWays ways;
  ways.mailto_answer = true;
  EXPECT_EQ(RunMailAction(settings, "r", "C:\\b.txt", false, ways), MailResult::Sent);
  // No address: no SMTP at all.
  EXPECT_EQ(ways.calls, (Calls{"mapi", "not topmost", "mailto "}));
}

TEST(MailAction, SenderForms) {
  CrashSettings record;
  record.MailFrom = "Me <me@x.example>";
  EXPECT_EQ(MailSender(record), "Me <me@x.example>");
  record.MailFrom = "";
  record.MailAddress = "Bugs <bugs@x.example>";
  EXPECT_EQ(MailSender(record), "kestrapon <bugs@x.example>");
  record.MailAddress = "";
  EXPECT_EQ(MailSender(record), "");
}

}  // namespace
}  // namespace crash
