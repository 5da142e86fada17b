// sendreport's mail through an SMTP server: the real mail servers of the SMTP tests
// (tests/smtp/mail_servers.py, started by tests/smtp/run_with_servers.sh, SMTP_TEST_DIR
// names their folder) take it with AUTH LOGIN, or refuse its recipient, after which the
// mail goes on to mailto.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/delivery/delivery_test_files_win.h"
#include "tests/integration/window_driver.h"

namespace crash {
namespace {

using delivery_test::ReadFileBytes;
using delivery_test::RegistryValue;
using delivery_test::RunProgram;

std::string ServersFolder() {
  const char* dir = std::getenv("SMTP_TEST_DIR");
  return dir ? std::string(dir) + "\\" : "";
}

std::string Port(const std::string& name) {
  std::ifstream ports(ServersFolder() + "ports");
  std::string listener, port;
  while (ports >> listener >> port)
    if (listener == name) return port;
  ADD_FAILURE() << "no listener " << name;
  return "0";
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Tool() {
  return "\"" + delivery_test::ProgramFolder() + "sendreport.exe\"";
}

class SendReportSmtp : public testing::Test {
 protected:
  void SetUp() override {
    if (ServersFolder().empty()) GTEST_SKIP() << "not run by run_with_servers.sh";
    folder_ = delivery_test::ScratchFolder("tool-smtp");
    ASSERT_TRUE(delivery_test::WriteFileBytes(folder_ + "report.txt", "date/time : now\r\nend"));
  }
  std::string folder_;
};

TEST_F(SendReportSmtp, ThroughTheServerWithAuthLoginAndTheFileAttached) {
  const std::string attachment = folder_ + "bugreport.txt";
  ASSERT_TRUE(delivery_test::WriteFileBytes(attachment, "saved reports"));
  const auto run = RunProgram(Tool() + " --to \"Bugs <bugs@example.org>\" --subject \"Bug 7\"" +
                                  " --ways server --server 127.0.0.1 --port " + Port("auth") +
                                  " --account reporter --password \"s3cret pass\"" +
                                  " --attach \"" + attachment + "\" --delete-after report.txt",
                              folder_);
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Has(run.output, "mail: attaching " + attachment + "\nmail: SMTP through 127.0.0.1\n"))
      << run.output;
  EXPECT_TRUE(
      Has(run.output, "mail: SMTP server sent\nmail: deleting " + attachment + "\nresult: sent\n"))
      << run.output;
  EXPECT_EQ(GetFileAttributesA(attachment.c_str()), INVALID_FILE_ATTRIBUTES);

  const auto envelope = ReadFileBytes(ServersFolder() + "spool\\auth\\1.env");
  const auto message = ReadFileBytes(ServersFolder() + "spool\\auth\\1.eml");
  ASSERT_TRUE(envelope && message) << "nothing in the server's spool";
  EXPECT_EQ(*envelope, "MAIL FROM:<bugs@example.org>\nRCPT TO:<bugs@example.org>\n");
  EXPECT_TRUE(Has(*message, "FROM: kestrapon <bugs@example.org>\r\n")) << *message;
  EXPECT_TRUE(Has(*message, "date/time : now\r\nend")) << *message;
  EXPECT_TRUE(Has(*message, "c2F2ZWQgcmVwb3J0cw==")) << *message;  // "saved reports"
}

TEST_F(SendReportSmtp, TheFileSavedAsSetupTxtIsTheOneAttached) {
  const std::string setup = "\"" + folder_ + "setup.exe\"";
  ASSERT_TRUE(CopyFileA((delivery_test::ProgramFolder() + "sendreport.exe").c_str(),
                        (folder_ + "setup.exe").c_str(), FALSE));
  auto run = RunProgram(setup + " --save %appname%.txt report.txt", folder_);
  ASSERT_EQ(run.exit_code, 0u) << run.output;
  run = RunProgram(setup + " --to bugs@example.org --ways server --server 127.0.0.1 --port " +
                       Port("accept") + " --attach %AppName%.txt report.txt",
                   folder_);
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Has(run.output, "mail: attaching " + folder_ + "setup.txt\n")) << run.output;
  // The report as saved, CR LF CR LF after it, in Base64.
  const auto message = ReadFileBytes(ServersFolder() + "spool\\accept\\1.eml");
  ASSERT_TRUE(message);
  EXPECT_TRUE(Has(*message, "setup.txt")) << *message;
  EXPECT_TRUE(Has(*message, "ZGF0ZS90aW1lIDogbm93DQplbmQNCg0K")) << *message;
}

TEST_F(SendReportSmtp, ARefusedRecipientGoesOnToMailtoAndABadPasswordFails) {
  RegistryValue handler(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "",
                        "\"" + delivery_test::RecorderPath() + "\" %1");
  const std::string log = delivery_test::FreshRecorderLog();
  auto run =
      RunProgram(Tool() + " --to refused@example.org --subject s --ways server,mailto" +
                     " --server 127.0.0.1 --port " + Port("accept") + " --interactive report.txt",
                 folder_);
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_TRUE(Has(run.output, "mail: SMTP server failed\nmailto: started")) << run.output;
  EXPECT_EQ(delivery_test::WaitForFile(log, 30000),
            "\"" + delivery_test::RecorderPath() +
                "\" mailto:refused@example.org?subject=s&body=date/time%20:%20now%0D%0Aend");

  run = RunProgram(Tool() + " --to bugs@example.org --ways server,mailto --server 127.0.0.1" +
                       " --port " + Port("auth") + " --account reporter --password wrong" +
                       " report.txt",
                   folder_);
  EXPECT_EQ(run.exit_code, 1u) << run.output;  // silent: no mailto
  EXPECT_TRUE(Has(run.output, "mail: SMTP server failed\nresult: failed\n")) << run.output;
}

TEST_F(SendReportSmtp, NotSilentTheOutcomeIsShownInAMessageBox) {
  for (const auto& [password, text] :
       {std::pair<std::string, std::string>{"\"s3cret pass\"", "The mail was sent successfully."},
        {"wrong", "Sorry, sending the mail didn't work."}}) {
    delivery_test::RunResult run;
    std::thread tool([&] {
      run = RunProgram(Tool() + " --to bugs@example.org --ways server --server 127.0.0.1" +
                           " --port " + Port("auth") + " --account reporter --password " +
                           password + " --interactive report.txt",
                       folder_);
    });
    const HWND box = driver::WaitForTopLevelWindow("sendreport", 0, driver::kStartTimeoutMs);
    EXPECT_NE(box, nullptr) << "no message box";
    if (box) {
      EXPECT_NE(driver::FindChildWindow(box, text), nullptr) << text;
      driver::PressButton(GetDlgItem(box, IDOK));
    }
    tool.join();
    EXPECT_TRUE(Has(run.output, password == "wrong" ? "result: failed" : "result: sent"))
        << run.output;
  }
}

}  // namespace
}  // namespace crash
