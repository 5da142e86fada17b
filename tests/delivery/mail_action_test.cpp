#include "crash/delivery/mail_action.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace crash {
namespace {

using Calls = std::vector<std::string>;

// Records every call; each way answers as set.
struct FakeWays final : MailWays {
  bool online = true, mailto_answer = false, file_exists = true;
  std::vector<bool> smtp_answers;  // one per SMTP attempt; missing: false
  MailResult mapi_answer = MailResult::Failed;
  Calls calls;
  std::vector<MailSend> mails;
  std::string mapi_attachment;

  bool Online() override { return calls.push_back("online"), online; }
  bool SendSmtp(const MailSend& mail) override {
    calls.push_back(mail.server.empty() ? "smtp direct" : "smtp " + mail.server);
    mails.push_back(mail);
    return mails.size() <= smtp_answers.size() && smtp_answers[mails.size() - 1];
  }
  MailResult SendMapi(const std::string&, const std::string&, const std::string&,
                      const std::string& attachment, bool silent) override {
    calls.push_back(silent ? "mapi silent" : "mapi");
    mapi_attachment = attachment;
    return mapi_answer;
  }
  bool SendMailto(const std::string& to, const std::string&, const std::string&) override {
    return calls.push_back("mailto " + to), mailto_answer;
  }
  void LeaveTopmost() override { calls.push_back("not topmost"); }
  void ShowMessage(std::string_view text, std::string_view, bool error) override {
    calls.push_back((error ? "error: " : "info: ") + std::string(text));
  }
  bool FileExists(const std::string&) override { return file_exists; }
  bool RemoveFile(const std::string& path) override {
    return calls.push_back("delete " + path), true;
  }
};

ActiveSettings Settings(bool attach = false) {
  CrashSettings record;
  record.MailAddress = "bugs@x.example";
  record.SendViaSmtpServer = true;
  record.SmtpServer = "mail.x.example";
  record.SmtpAccount = "me";
  record.SmtpPort = 587;
  record.MailSuccessText = "sent";
  record.MailFailureText = "failed";
  record.AttachBugReportFile = record.DeleteFileAfterMail = attach;
  ActiveSettings settings = MakeActiveSettings(record);
  settings.TransformedPassword = "secret";
  settings.RootNameServers = {"127.0.0.2"};
  return settings;
}

TEST(MailAction, TriesEveryWayInOrderAndSaysWhenNoneWorked) {
  FakeWays ways;
  EXPECT_EQ(RunMailAction(Settings(), "report", "C:\\b.txt", false, ways), MailResult::Failed);
  EXPECT_EQ(ways.calls, (Calls{"online", "smtp direct", "online", "smtp mail.x.example", "mapi",
                               "not topmost", "mailto bugs@x.example", "error: failed"}));
  ASSERT_EQ(ways.mails.size(), 2u);
  const MailSend &direct = ways.mails[0], &server = ways.mails[1];
  EXPECT_EQ(direct.from, "kestrapon <bugs@x.example>");
  EXPECT_EQ(direct.port, 25);
  EXPECT_TRUE(direct.account.empty() && direct.password.empty());
  EXPECT_EQ(direct.root_servers, std::vector<std::string>{"127.0.0.2"});
  EXPECT_EQ(server.port, 587);
  EXPECT_EQ(server.account + "/" + server.password + "/" + server.body, "me/secret/report");
  EXPECT_EQ(server.attachment, "");  // AttachBugReportFile is off
}

TEST(MailAction, SmtpSuccessShowsTheSuccessTextAndDeletesTheAttachment) {
  FakeWays ways;
  ways.smtp_answers = {false, true};
  EXPECT_EQ(RunMailAction(Settings(true), "r", "C:\\b.txt", false, ways), MailResult::Sent);
  EXPECT_EQ(ways.mails[1].attachment, "C:\\b.txt");
  EXPECT_EQ(ways.calls, (Calls{"online", "smtp direct", "online", "smtp mail.x.example",
                               "info: sent", "delete C:\\b.txt"}));
}

TEST(MailAction, OfflineMapiCancelledSilentAndMailto) {
  FakeWays offline;
  offline.online = false;
  offline.mailto_answer = true;
  EXPECT_EQ(RunMailAction(Settings(), "r", "", false, offline), MailResult::Sent);
  // No SMTP attempt, and no message for a mail handed to mailto.
  EXPECT_EQ(offline.calls,
            (Calls{"online", "online", "mapi", "not topmost", "mailto bugs@x.example"}));

  ActiveSettings no_smtp = Settings(true);
  no_smtp.SendDirectSmtp = no_smtp.SendViaSmtpServer = false;
  FakeWays cancelled;
  cancelled.mapi_answer = MailResult::Cancelled;
  EXPECT_EQ(RunMailAction(no_smtp, "r", "C:\\b.txt", false, cancelled), MailResult::Cancelled);
  EXPECT_EQ(cancelled.calls, (Calls{"mapi"}));  // no mailto, no message, the file kept
  EXPECT_EQ(cancelled.mapi_attachment, "C:\\b.txt");

  FakeWays silent;
  silent.file_exists = false;  // the attachment is dropped
  EXPECT_EQ(RunMailAction(Settings(true), "r", "C:\\b.txt", true, silent), MailResult::Failed);
  EXPECT_EQ(silent.calls.back(), "mapi silent");  // no mailto, no message
  EXPECT_EQ(silent.mapi_attachment, "");

  // mailto drops the attachment, so it is not deleted; no address: no SMTP.
  ActiveSettings no_address = Settings(true);
  no_address.MailAddress = "";
  FakeWays mailto;
  mailto.mailto_answer = true;
  EXPECT_EQ(RunMailAction(no_address, "r", "C:\\b.txt", false, mailto), MailResult::Sent);
  EXPECT_EQ(mailto.calls, (Calls{"mapi", "not topmost", "mailto "}));
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
