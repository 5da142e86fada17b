// MAPI as the prefix has it: the "MAPI" value of the Windows Messaging Subsystem decides
// whether MAPI is there; without it the mail action goes on to mailto. With it, Wine's
// mapi32 hands the mail to its winemapi, which passes it to xdg-email; a recorder
// xdg-email on the test's PATH (DELIVERY_XDG_EMAIL_LOG names its log) shows what arrived.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mapi_send_win.h"
#include "crash/delivery/report_actions_win.h"
#include "tests/delivery/delivery_test_files_win.h"

namespace crash {
namespace {

using delivery_test::RegistryValue;

constexpr const char* kMessagingKey = "Software\\Microsoft\\Windows Messaging Subsystem";

std::vector<std::string> g_steps;
void RecordStep(std::string_view line) {
  g_steps.emplace_back(line);
}

TEST(MapiSend, TheMapiValueMustBeExactlyOne) {
  for (const auto& [value, available] : std::vector<std::pair<std::optional<std::string>, bool>>{
           {std::nullopt, false}, {"0", false}, {"10", false}, {"", false}, {"1", true}}) {
    RegistryValue mapi(HKEY_LOCAL_MACHINE, kMessagingKey, "MAPI", value);
    EXPECT_EQ(MapiAvailable(), available) << value.value_or("(absent)");
  }
}

TEST(MapiSend, WithoutMapiTheMailGoesOnToMailto) {
  RegistryValue no_mapi(HKEY_LOCAL_MACHINE, kMessagingKey, "MAPI", std::nullopt);
  RegistryValue handler(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "",
                        "\"" + delivery_test::RecorderPath() + "\" %1");
  const std::string log = delivery_test::FreshRecorderLog();
  CrashSettings record;
  record.MailAddress = "bugs@x.example";
  record.MailSubject = "s";
  record.SendDirectSmtp = false;
  ActiveSettings settings = MakeActiveSettings(record);
  EXPECT_EQ(MapiSend("bugs@x.example", "s", "b", "", nullptr, true), MailResult::Failed);
  g_steps.clear();
  const DeliveryLogFn before = SetDeliveryLog(RecordStep);
  EXPECT_EQ(MailAction(settings, "b", nullptr, false), MailResult::Sent);
  SetDeliveryLog(before);
  ASSERT_GE(g_steps.size(), 2u);
  EXPECT_EQ(g_steps[0].rfind("mapi: no MAPI registered", 0), 0u) << g_steps[0];
  EXPECT_EQ(g_steps[1], "mail: MAPI failed");
  EXPECT_EQ(delivery_test::WaitForFile(log, 30000),
            "\"" + delivery_test::RecorderPath() + "\" mailto:bugs@x.example?subject=s&body=b");
}

TEST(MapiSend, WinesMapiHandsTheMailToXdgEmail) {
  const char* xdg_log = std::getenv("DELIVERY_XDG_EMAIL_LOG");
  if (!xdg_log) GTEST_SKIP() << "no recorder xdg-email (DELIVERY_XDG_EMAIL_LOG is not set)";
  // The log as a Windows path: Wine maps the Unix root to drive Z:.
  std::string log = std::string("Z:") + xdg_log;
  for (char& c : log)
    if (c == '/') c = '\\';
  DeleteFileA(log.c_str());
  RegistryValue mapi(HKEY_LOCAL_MACHINE, kMessagingKey, "MAPI", "1");
  EXPECT_EQ(MapiSend("bugs@x.example", "Bug report", "line 1\r\nline 2", "", nullptr, true),
            MailResult::Sent);
  const auto received = delivery_test::WaitForFile(log, 30000);
  ASSERT_TRUE(received) << "xdg-email was not started";
  // Subject and body arrive. The recipient does not: MAPI takes it as a name to resolve
  // (no address field), and winemapi puts only recipients' addresses into the link,
  // where a Windows mail program resolves the name.
  EXPECT_EQ(*received, "mailto:?subject=Bug%20report&cc=&bcc=&body=line%201%0D%0Aline%202\n");
}

TEST(MapiSend, ATopmostOwnerStaysTopmostAfterMapiButNotAfterMailto) {
  const HWND owner = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0,
                                     50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  const auto topmost = [&] { return (GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  ASSERT_TRUE(topmost());
  RegistryValue mapi(HKEY_LOCAL_MACHINE, kMessagingKey, "MAPI", "1");
  MapiSend("bugs@x.example", "s", "b", "", owner, true);
  EXPECT_TRUE(topmost());

  RegistryValue handler(HKEY_CLASSES_ROOT, delivery_test::kMailtoCommandKey, "",
                        "\"" + delivery_test::RecorderPath() + "\" %1");
  const std::string log = delivery_test::FreshRecorderLog();
  CrashSettings record;
  record.SendDirectSmtp = record.SendViaMapi = false;
  EXPECT_EQ(MailAction(MakeActiveSettings(record), "b", owner, false), MailResult::Sent);
  EXPECT_FALSE(topmost());
  EXPECT_TRUE(delivery_test::WaitForFile(log, 30000));
  DestroyWindow(owner);
}

}  // namespace
}  // namespace crash
