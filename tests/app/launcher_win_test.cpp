// The launcher against real children under the shell: what it starts, how it
// waits, what the caller's thread still does meanwhile, and the path helper.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/launcher.h"
#include "tests/integration/window_driver.h"

namespace {

using app::AddTrailingBackslash;
using app::RunProgramAndWait;
using app::launcher_detail::AddTrailingBackslashInCodePage;
using app::launcher_detail::ExecuteAndWait;
using app::launcher_detail::MakeExecuteInfo;

constexpr UINT kShiftJis = 932;
constexpr UINT kWestern = 1252;

// A fresh folder under %TEMP%, removed with the files the test named in it.
class TempFolder {
 public:
  TempFolder() {
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp, length) + "adrelo_launcher_" + std::to_string(GetCurrentProcessId()) +
            "_" + std::to_string(next_++);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
      if (!DeleteFileA(it->c_str())) RemoveDirectoryA(it->c_str());
    }
    RemoveDirectoryA(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing backslash.
  const std::string& path() const { return path_; }
  // A path in the folder, removed at the end.
  std::string File(const std::string& name) {
    files_.push_back(path_ + "\\" + name);
    return files_.back();
  }

 private:
  static inline int next_ = 0;
  std::string path_;
  std::vector<std::string> files_;
};

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWholeFile(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    text.append(buffer, got);
  CloseHandle(file);
  return text;
}

std::string Helper() {
  return driver::ExecutableFolder() + "launcher_helper.exe";
}

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM found) {
  if (IsWindowVisible(window)) reinterpret_cast<std::set<HWND>*>(found)->insert(window);
  return TRUE;
}

std::set<HWND> VisibleTopLevelWindows() {
  std::set<HWND> windows;
  EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// What a window of the test saw of its timer while the launcher waited.
struct TimerLog {
  std::vector<DWORD> ticks;
  int quit_after = -1;  // posts WM_QUIT(7) at this tick count when >= 0
};

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER) {
    auto* log = reinterpret_cast<TimerLog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (log != nullptr) {
      log->ticks.push_back(GetTickCount());
      if (static_cast<int>(log->ticks.size()) == log->quit_after) PostQuitMessage(7);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// A hidden window of the test with a 50 ms timer feeding log.
class TimerWindow {
 public:
  explicit TimerWindow(TimerLog* log) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = TimerWindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "AdreloLauncherTestTimer";
    RegisterClassA(&window_class);
    window_ = CreateWindowExA(0, window_class.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10,
                              nullptr, nullptr, window_class.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
    SetTimer(window_, 1, 50, nullptr);
  }
  ~TimerWindow() {
    KillTimer(window_, 1);
    DestroyWindow(window_);
  }
  TimerWindow(const TimerWindow&) = delete;
  TimerWindow& operator=(const TimerWindow&) = delete;

  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

DWORD LongestGap(const std::vector<DWORD>& ticks) {
  DWORD longest = 0;
  for (std::size_t i = 1; i < ticks.size(); ++i) {
    longest = std::max(longest, ticks[i] - ticks[i - 1]);
  }
  return longest;
}

TEST(RunProgramAndWait, MissingFileFailsWithoutShowingAnything) {
  const std::set<HWND> before = VisibleTopLevelWindows();
  EXPECT_FALSE(RunProgramAndWait("C:\\no such folder\\no such program.exe", "", "", SW_SHOWNORMAL));
  EXPECT_FALSE(
      RunProgramAndWait("C:\\no such folder\\no such document.txt", "", "open", SW_SHOWNORMAL));
  // An error box would come from the shell in this process, or from a helper.
  Sleep(2000);
  const std::set<HWND> after = VisibleTopLevelWindows();
  for (HWND window : after) {
    EXPECT_TRUE(before.count(window) != 0) << "new window: " << driver::WindowText(window);
  }
}

TEST(RunProgramAndWait, WaitsForAWindowlessChildStartedThroughAVariable) {
  TempFolder folder;
  const std::string marker = folder.File("marker.txt");
  std::string helper_folder = driver::ExecutableFolder();
  helper_folder.pop_back();
  ASSERT_TRUE(SetEnvironmentVariableA("ADRELO_LAUNCHER_TEST_DIR", helper_folder.c_str()));

  const DWORD start = GetTickCount();
  EXPECT_TRUE(RunProgramAndWait("%ADRELO_LAUNCHER_TEST_DIR%\\launcher_helper.exe",
                                "1500 \"" + marker + "\"", "", SW_SHOWNORMAL));
  const DWORD elapsed = GetTickCount() - start;
  // The marker is written after the child's sleep, just before it ends.
  EXPECT_TRUE(FileExists(marker));
  EXPECT_GE(elapsed, 1500u);
  SetEnvironmentVariableA("ADRELO_LAUNCHER_TEST_DIR", nullptr);
}

TEST(RunProgramAndWait, CallersTimerKeepsFiringDuringALongWait) {
  TimerLog log;
  TimerWindow window(&log);
  ASSERT_NE(window.get(), nullptr);

  const DWORD start = GetTickCount();
  EXPECT_TRUE(RunProgramAndWait(Helper(), "3000", "", SW_SHOWNORMAL));
  const DWORD elapsed = GetTickCount() - start;
  ASSERT_GE(elapsed, 3000u);
  // A 50 ms timer over three seconds: at least half its ticks, none held long.
  EXPECT_GE(log.ticks.size(), 30u);
  EXPECT_LT(LongestGap(log.ticks), 500u);
  std::printf("wait %lu ms, %u timer ticks, longest gap %lu ms\n", elapsed,
              static_cast<unsigned>(log.ticks.size()), LongestGap(log.ticks));
}

TEST(RunProgramAndWait, QuitPostedDuringTheWaitReachesTheCallerAfterIt) {
  TimerLog log;
  log.quit_after = 3;
  TimerWindow window(&log);
  ASSERT_NE(window.get(), nullptr);

  const DWORD start = GetTickCount();
  EXPECT_TRUE(RunProgramAndWait(Helper(), "1500", "", SW_SHOWNORMAL));
  EXPECT_GE(GetTickCount() - start, 1500u) << "the quit ended the wait before the child";
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

// Set by a thread timer of the test while the demo setup runs.
bool demo_window_seen = false;

void CALLBACK LookForDemoWindow(HWND, UINT, UINT_PTR, DWORD) {
  if (FindWindowA(nullptr, "Tomewright 2000 V1.67 setup") != nullptr) demo_window_seen = true;
}

TEST(RunProgramAndWait, DemoSetupWritesItsLogLineAndEnds) {
  // The distribution's layout: <root>\tw1\setup.exe logs to <root>\demo_setup.log.
  TempFolder root;
  const std::string tw1 = root.File("tw1");
  ASSERT_TRUE(CreateDirectoryA(tw1.c_str(), nullptr));
  const std::string setup = root.File("tw1\\setup.exe");
  const std::string log_file = root.File("demo_setup.log");
  ASSERT_TRUE(
      CopyFileA((driver::ExecutableFolder() + "demo_setup_tw1.exe").c_str(), setup.c_str(), FALSE));

  demo_window_seen = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, LookForDemoWindow);
  const DWORD start = GetTickCount();
  EXPECT_TRUE(RunProgramAndWait(setup, "", "", SW_SHOWNORMAL));
  const DWORD elapsed = GetTickCount() - start;
  KillTimer(nullptr, timer);

  EXPECT_TRUE(demo_window_seen);
  EXPECT_GE(elapsed, 2000u) << "shown for a moment";
  EXPECT_EQ(FindWindowA(nullptr, "Tomewright 2000 V1.67 setup"), nullptr);
  const std::string text = ReadWholeFile(log_file);
  EXPECT_EQ(text.rfind("Tomewright 2000 V1.67 setup 20", 0), 0u) << text;
  EXPECT_EQ(text.size(),
            std::string("Tomewright 2000 V1.67 setup 2026-12-08 12:00:00.000\r\n").size())
      << text;
}

// A stand-in for ShellExecuteExA: accepts and hands out handle_to_return.
HANDLE handle_to_return = nullptr;
SHELLEXECUTEINFOA seen_request;

BOOL WINAPI AcceptingShell(SHELLEXECUTEINFOA* info) {
  seen_request = *info;
  info->hProcess = handle_to_return;
  return TRUE;
}

BOOL WINAPI RefusingShell(SHELLEXECUTEINFOA* info) {
  info->hProcess = nullptr;
  return FALSE;
}

TEST(ExecuteAndWait, EndsAtOnceWithoutAProcessAndClosesTheOneItGot) {
  SHELLEXECUTEINFOA info = MakeExecuteInfo("x", "", "", SW_SHOWNORMAL);
  EXPECT_FALSE(ExecuteAndWait(&info, RefusingShell));

  handle_to_return = nullptr;
  DWORD start = GetTickCount();
  EXPECT_TRUE(ExecuteAndWait(&info, AcceptingShell));
  EXPECT_LT(GetTickCount() - start, 1000u);

  // A handle that is already signalled ends the wait; it is closed after.
  handle_to_return = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  ASSERT_NE(handle_to_return, nullptr);
  EXPECT_TRUE(ExecuteAndWait(&info, AcceptingShell));
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(handle_to_return, &flags)) << "handle left open";
  handle_to_return = nullptr;
}

TEST(MakeExecuteInfo, FillsTheRecordTheShellReads) {
  const std::string file = "%TEMP%\\a.exe";
  const std::string parameters = "/x";
  const std::string verb = "open";
  SHELLEXECUTEINFOA full = MakeExecuteInfo(file, parameters, verb, SW_SHOWNORMAL);
  EXPECT_EQ(full.cbSize, 60u);
  EXPECT_EQ(full.fMask, 0x740u);
  EXPECT_EQ(full.hwnd, nullptr);
  EXPECT_STREQ(full.lpVerb, "open");
  EXPECT_STREQ(full.lpFile, "%TEMP%\\a.exe");
  EXPECT_STREQ(full.lpParameters, "/x");
  EXPECT_EQ(full.lpDirectory, nullptr);
  EXPECT_EQ(full.nShow, SW_SHOWNORMAL);
  EXPECT_EQ(full.hProcess, nullptr);

  // Empty texts are no pointer at all: "" as a verb is not the default verb.
  const std::string empty;
  SHELLEXECUTEINFOA bare = MakeExecuteInfo(file, empty, empty, SW_HIDE);
  EXPECT_EQ(bare.lpVerb, nullptr);
  EXPECT_EQ(bare.lpParameters, nullptr);
  EXPECT_EQ(bare.nShow, SW_HIDE);
}

TEST(AddTrailingBackslash, AddsOneBackslashOnlyWhereMissing) {
  EXPECT_EQ(AddTrailingBackslash("C:\\"), "C:\\");
  EXPECT_EQ(AddTrailingBackslash("C:\\Programs\\Adrelo\\"), "C:\\Programs\\Adrelo\\");
  EXPECT_EQ(AddTrailingBackslash("C:\\Programs\\Adrelo"), "C:\\Programs\\Adrelo\\");
  EXPECT_EQ(AddTrailingBackslash(""), "\\");
  EXPECT_EQ(AddTrailingBackslash("tw1"), "tw1\\");
}

TEST(AddTrailingBackslash, TrailByteEqualToBackslashIsNoBackslashInADoubleByteCodePage) {
  ASSERT_TRUE(IsDBCSLeadByteEx(kShiftJis, 0x95)) << "no Shift-JIS table";
  // 0x95 0x5C is one Shift-JIS character whose trail byte is the backslash code.
  const std::string name = "C:\\\x95\x5C";
  EXPECT_EQ(AddTrailingBackslashInCodePage(name, kShiftJis), name + "\\");
  EXPECT_EQ(AddTrailingBackslashInCodePage(name + "\\", kShiftJis), name + "\\");
  // Two such characters in a row, and a single-byte backslash after a pair.
  EXPECT_EQ(AddTrailingBackslashInCodePage("\x95\x5C\x95\x5C", kShiftJis), "\x95\x5C\x95\x5C\\");
  EXPECT_EQ(AddTrailingBackslashInCodePage("\x95\x5C\\", kShiftJis), "\x95\x5C\\");
  EXPECT_EQ(AddTrailingBackslashInCodePage("C:\\", kShiftJis), "C:\\");
  EXPECT_EQ(AddTrailingBackslashInCodePage("", kShiftJis), "\\");
  // A lone lead byte at the end is a character of its own.
  EXPECT_EQ(AddTrailingBackslashInCodePage("ab\x95", kShiftJis), "ab\x95\\");
  // In the Western code page 0x95 is a character of its own, so 0x5C counts.
  EXPECT_EQ(AddTrailingBackslashInCodePage(name, kWestern), name);
}

}  // namespace
