// The save action on real files: appending with CR LF CR LF, a file emptied first without
// a maximum, the size rule on a file of real reports, names relative to the executable,
// and the save dialog driven from outside.
#include <gtest/gtest.h>

#include <thread>

#include "crash/delivery/mapi_send_win.h"
#include "crash/delivery/report_actions_win.h"
#include "tests/delivery/delivery_test_files_win.h"
#include "tests/integration/window_driver.h"

namespace crash {
namespace {

using delivery_test::ReadFileBytes;

// A report of exactly size bytes as saved (CR LF CR LF included), headed as real ones.
std::string SavedReport(size_t size, char fill) {
  std::string report =
      "date/time         : 2026-12-09 12:00\r\n"
      "exec. date/time   : 2026-12-01 08:00\r\n";
  return report + std::string(size - report.size() - 4, fill) + "\r\n\r\n";
}

ActiveSettings SaveSettings(const std::string& file, int max_size) {
  CrashSettings record;
  record.BugReportFile = file;
  record.BugReportFileMaxSize = max_size;
  record.SaveCaption = "save bug report";
  return MakeActiveSettings(record);
}

TEST(SaveAction, SilentToAnAbsolutePathAppends) {
  const std::string folder = delivery_test::ScratchFolder("save-append");
  const std::string file = folder + "bugs.txt";
  const ActiveSettings settings = SaveSettings(file, 50000);
  ASSERT_TRUE(SaveAction(settings, "first", nullptr, true));
  ASSERT_TRUE(SaveAction(settings, "second\r\nline", nullptr, false));  // absolute: no dialog
  EXPECT_EQ(ReadFileBytes(file), "first\r\n\r\nsecond\r\nline\r\n\r\n");
  // Without a maximum each save replaces what was there.
  ASSERT_TRUE(SaveAction(SaveSettings(file, 0), "third", nullptr, true));
  EXPECT_EQ(ReadFileBytes(file), "third\r\n\r\n");
  // A file that can't be opened gives false.
  EXPECT_FALSE(
      SaveAction(SaveSettings(folder + "no such folder\\bugs.txt", 0), "r", nullptr, true));
}

TEST(SaveAction, TrimsARealFileToItsLastReports) {
  const std::string folder = delivery_test::ScratchFolder("save-trim");
  const std::string file = folder + "bugs.txt";
  const std::string a = SavedReport(15000, 'a'), b = SavedReport(15000, 'b'),
                    c = SavedReport(15000, 'c'), d = SavedReport(15000, 'd');
  ASSERT_TRUE(delivery_test::WriteFileBytes(file, a + b + c));
  const std::string report = d.substr(0, d.size() - 4);
  ASSERT_TRUE(SaveAction(SaveSettings(file, 50000), report, nullptr, true));
  const auto bytes = ReadFileBytes(file);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 30000u);
  EXPECT_TRUE(*bytes == c + d) << bytes->substr(0, 80);
}

TEST(SaveAction, RelativeNamesSilentlyGoBesideTheExecutable) {
  const std::string expected =
      delivery_test::ProgramFolder() + "delivery_actions_win_tests-save.txt";
  DeleteFileA(expected.c_str());
  ASSERT_TRUE(SaveAction(SaveSettings("%AppName%-save.txt", 0), "r", nullptr, true));
  EXPECT_EQ(ReadFileBytes(expected), "r\r\n\r\n");
  DeleteFileA(expected.c_str());
}

TEST(SaveAction, NoDialogWhileTheLoaderLockIsHeld) {
  // A dialog would wait for the lock this thread holds: false, a beep, nothing shown; the
  // print action and MAPI likewise stay away.
  using LockFn = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto lock =
      reinterpret_cast<LockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
  const auto unlock = reinterpret_cast<LONG(NTAPI*)(ULONG, ULONG_PTR)>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
  ASSERT_TRUE(lock && unlock);
  ULONG_PTR cookie = 0;
  ASSERT_EQ(lock(0, nullptr, &cookie), 0);
  const bool saved = SaveAction(SaveSettings("locked.txt", 0), "r", nullptr, false);
  PrintAction(SaveSettings("locked.txt", 0), "r", nullptr);
  const MailResult mapi = MapiSend("a@x.example", "s", "b", "", nullptr, false);
  unlock(0, cookie);
  EXPECT_FALSE(saved);
  EXPECT_EQ(mapi, MailResult::Failed);
}

// Runs the save action with a relative name and no silence on a thread of its own while
// this one looks for the dialog and acts on it; the action's result.
template <typename Act>
bool SaveThroughDialog(const ActiveSettings& settings, Act act) {
  bool saved = true;
  std::thread saver([&] { saved = SaveAction(settings, "through the dialog", nullptr, false); });
  const HWND dialog = driver::WaitForTopLevelWindow("save bug report", GetCurrentProcessId(),
                                                    driver::kStartTimeoutMs);
  if (dialog) {
    act(dialog);
  } else {
    ADD_FAILURE() << "no save dialog appeared";
  }
  saver.join();
  return saved;
}

TEST(SaveAction, TheDialogCancelledSavesNothing) {
  const ActiveSettings settings = SaveSettings("cancelled.txt", 0);
  const std::string beside = delivery_test::ProgramFolder() + "cancelled.txt";
  DeleteFileA(beside.c_str());
  EXPECT_FALSE(SaveThroughDialog(
      settings, [](HWND dialog) { driver::PressButton(GetDlgItem(dialog, IDCANCEL)); }));
  EXPECT_EQ(GetFileAttributesA(beside.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The file name box of the save dialog.
HWND FileNameBox(HWND dialog) {
  // The combo box of the current dialogs holds an edit; older ones have the edit alone.
  HWND name = GetDlgItem(dialog, 0x47c);
  if (HWND combo = name ? FindWindowExA(name, nullptr, "ComboBox", nullptr) : nullptr) name = combo;
  if (HWND edit = name ? FindWindowExA(name, nullptr, "Edit", nullptr) : nullptr) name = edit;
  return name ? name : GetDlgItem(dialog, 0x480);
}

// True under Wine (its ntdll exports its version).
bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(SaveAction, TheDialogSavesWhereTheUserSays) {
  const std::string folder = delivery_test::ScratchFolder("save-dialog");
  const std::string chosen = folder + "chosen.txt";
  const ActiveSettings settings = SaveSettings("offered.txt", 0);
  EXPECT_TRUE(SaveThroughDialog(settings, [&](HWND dialog) {
    const HWND name = FileNameBox(dialog);
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
    driver::PressButton(GetDlgItem(dialog, IDOK));
  }));
  EXPECT_EQ(ReadFileBytes(chosen), "through the dialog\r\n\r\n");
}

TEST(SaveAction, TheDialogOffersTheFileName) {
  const ActiveSettings settings = SaveSettings("offered.txt", 0);
  std::string offered;
  EXPECT_FALSE(SaveThroughDialog(settings, [&](HWND dialog) {
    char text[MAX_PATH] = {};
    if (const HWND name = FileNameBox(dialog)) GetWindowTextA(name, text, sizeof text);
    offered = text;
    driver::PressButton(GetDlgItem(dialog, IDCANCEL));
  }));
  if (offered != "offered.txt" && UnderWine()) {
    GTEST_SKIP() << "Wine's save dialog shows \"" << offered << "\" in its file name box where "
                 << "Windows shows the initial name \"offered.txt\" (title \"save bug report\")";
  }
  EXPECT_EQ(offered, "offered.txt");
}

}  // namespace
}  // namespace crash
