// The sendreport tool as an engineer runs it: its arguments checked, and the mail action's
// steps as it prints them, offline (Wine told to load no wininet.dll for a copy of the
// tool) and through mailto. Saving as setup.txt: sendreport_smtp_win_test.cpp.
#include <gtest/gtest.h>

#include "tests/delivery/delivery_test_files_win.h"

namespace crash {
namespace {

using delivery_test::RegistryValue;
using delivery_test::RunProgram;

std::string Tool() {
  return delivery_test::ProgramFolder() + "sendreport.exe";
}

TEST(SendReport, BadArgumentsSayWhat) {
  const auto run = RunProgram("\"" + Tool() + "\" --ways direct,pigeon r.txt", "");
  EXPECT_EQ(run.exit_code, 3u);
  EXPECT_NE(run.output.find("unknown way: pigeon"), std::string::npos) << run.output;
}

TEST(SendReport, OfflineTriesNoSmtpAndGoesOnToMailto) {
  const std::string folder = delivery_test::ScratchFolder("tool-offline");
  const std::string offline = folder + "sendreport_offline.exe";
  ASSERT_TRUE(CopyFileA(Tool().c_str(), offline.c_str(), FALSE));
  ASSERT_TRUE(delivery_test::WriteFileBytes(folder + "report.txt", "the report"));
  // Wine loads no wininet.dll for this program: the online check finds no connection.
  RegistryValue no_wininet(HKEY_CURRENT_USER,
                           "Software\\Wine\\AppDefaults\\sendreport_offline.exe\\DllOverrides",
                           "wininet", "");
  RegistryValue handler(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "",
                        "\"" + delivery_test::RecorderPath() + "\" %1");
  const std::string log = delivery_test::FreshRecorderLog();
  const auto run = RunProgram("\"" + offline +
                                  "\" --to bugs@x.example --subject s --ways direct,server,mailto"
                                  " --server 127.0.0.1 --port 1 --interactive report.txt",
                              folder);
  EXPECT_EQ(run.exit_code, 0u) << run.output;
  EXPECT_EQ(run.output,
            "mail: offline, no direct SMTP\n"
            "mail: offline, no SMTP through the server\n"
            "mailto: started \"" +
                delivery_test::RecorderPath() +
                "\" %1\n"
                "mail: mailto link handed to the mail program\n"
                "result: sent\n");
  EXPECT_EQ(delivery_test::WaitForFile(log, 30000),
            "\"" + delivery_test::RecorderPath() +
                "\" mailto:bugs@x.example?subject=s&body=the%20report");
}

}  // namespace
}  // namespace crash
