// The mailto link through a handler registered in the registry: the recorder standing in
// for the mail program receives the command line, checked byte for byte.
#include <gtest/gtest.h>

#include "crash/delivery/mailto_send_win.h"
#include "tests/delivery/delivery_test_files_win.h"

namespace crash {
namespace {

using delivery_test::RegistryValue;

constexpr DWORD kRecorderWaitMs = 30000;

// The mailto command made of the recorder and what follows it; the recorder's log path.
struct Registered {
  explicit Registered(const std::string& after_program)
      : value(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "",
              "\"" + delivery_test::RecorderPath() + "\"" + after_program),
        log(delivery_test::FreshRecorderLog()) {}
  RegistryValue value;
  std::string log;
};

TEST(MailtoSend, EveryPercentOneBecomesTheEscapedLink) {
  Registered handler(" /compose \"%1\" /again %1");
  const std::string program = "\"" + delivery_test::RecorderPath() + "\"";
  ASSERT_EQ(MailtoCommand(), program + " /compose \"%1\" /again %1");
  ASSERT_TRUE(MailtoSend("Bugs <bugs@x.example>", "Velmo Bug Report",
                         "line 1\r\nline\t2 \"q\" #5 100% a+b <c> d?e&f=g"));
  const std::string link =
      "mailto:Bugs <bugs@x.example>?subject=Velmo%20Bug%20Report"
      "&body=line%201%0D%0Aline\t2%20%22q%22%20%235%20100%25%20a%2Bb%20%3Cc%3E%20d%3Fe&f=g";
  EXPECT_EQ(delivery_test::WaitForFile(handler.log, kRecorderWaitMs),
            program + " /compose \"" + link + "\" /again " + link);
}

TEST(MailtoSend, WithoutPercentOneTheLinkIsAppendedAfterOneBlank) {
  const std::string program = "\"" + delivery_test::RecorderPath() + "\"";
  for (const char* after : {" ", ""}) {
    Registered handler(after);
    ASSERT_TRUE(MailtoSend("bugs@x.example", "s", "b"));
    EXPECT_EQ(delivery_test::WaitForFile(handler.log, kRecorderWaitMs),
              program + " mailto:bugs@x.example?subject=s&body=b")
        << "command ending in \"" << after << "\"";
  }
}

TEST(MailtoSend, TheCommandsEnvironmentVariablesAreExpanded) {
  const std::string folder = delivery_test::ProgramFolder();
  SetEnvironmentVariableA("DELIVERY_RECORDER_FOLDER", folder.c_str());
  RegistryValue value(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "",
                      "%DELIVERY_RECORDER_FOLDER%command_recorder.exe %1");
  const std::string log = delivery_test::FreshRecorderLog();
  ASSERT_TRUE(MailtoSend("a@x.example", "", ""));
  EXPECT_EQ(delivery_test::WaitForFile(log, kRecorderWaitMs),
            folder + "command_recorder.exe mailto:a@x.example?subject=&body=");
  SetEnvironmentVariableA("DELIVERY_RECORDER_FOLDER", nullptr);
}

TEST(MailtoSend, ALongCommandIsCutBeforeAnEscape) {
  const std::string program = "\"" + delivery_test::RecorderPath() + "\"";
  // Three prefix lengths: the cut then falls after, inside and just after the "%" of an
  // escape of the blanks of the body.
  for (const std::string subject : {"a", "ab", "abc"}) {
    Registered handler(" %1");
    const std::string body(20000, ' ');
    ASSERT_TRUE(MailtoSend("a@x.example", subject, body));
    std::string whole = program + " mailto:a@x.example?subject=" + subject + "&body=";
    for (size_t i = 0; i < body.size(); ++i)
      whole += "%20";
    const size_t escapes_start = program.size() + 34 + subject.size();
    ASSERT_EQ(whole.substr(escapes_start, 3), "%20");
    const size_t length = 32766 - (32766 - escapes_start) % 3;
    const auto received = delivery_test::WaitForFile(handler.log, kRecorderWaitMs);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->size(), length) << subject;
    EXPECT_TRUE(*received == whole.substr(0, length)) << subject;
  }
}

TEST(MailtoSend, NoRegisteredCommandIsAFailure) {
  RegistryValue value(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "", std::nullopt);
  EXPECT_EQ(MailtoCommand(), "");
  EXPECT_FALSE(MailtoSend("a@x.example", "s", "b"));
  RegistryValue empty(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "", "");
  EXPECT_FALSE(MailtoSend("a@x.example", "s", "b"));
}

}  // namespace
}  // namespace crash
