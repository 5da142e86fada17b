// "Install" from a real distribution folder: the welcome window hides, the two
// setup programs run one after the other (the second only once the first has
// ended), and the installer ends by itself. The demo setups write one log line
// each, in the order they ran, to demo_setup.log in the distribution root.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/window_driver.h"

namespace {

constexpr char kCaption[] = "Tomewright Installation";
constexpr char kFirstSetup[] = "Velmo Tomewright V2 setup";
constexpr char kSecondSetup[] = "Tomewright 2000 V1.67 setup";

// Copies the built distribution (bin\..\dist) into a fresh folder of its own.
std::string FreshDistribution() {
  const std::string from = driver::ExecutableFolder() + "..\\dist\\";
  const std::string to = driver::ExecutableFolder() + "install-sequence\\";
  CreateDirectoryA(to.c_str(), nullptr);
  CreateDirectoryA((to + "tw1").c_str(), nullptr);
  CreateDirectoryA((to + "tw2").c_str(), nullptr);
  DeleteFileA((to + "demo_setup.log").c_str());
  for (const char* file : {"install.exe", "tw1\\setup.exe", "tw2\\vlmtw_setup.exe"}) {
    if (!CopyFileA((from + file).c_str(), (to + file).c_str(), FALSE)) return {};
  }
  return to;
}

std::vector<std::string> LogLines(const std::string& path) {
  std::ifstream log(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

TEST(InstallSequence, RunsBothSetupsInOrderWhileTheWindowIsHiddenThenEnds) {
  const std::string folder = FreshDistribution();
  ASSERT_FALSE(folder.empty()) << "no distribution beside the tests";

  driver::ChildProcess installer;
  ASSERT_TRUE(installer.Start("\"" + folder + "install.exe\"", folder));
  HWND welcome = driver::WaitForTopLevelWindow(kCaption, installer.id(), driver::kStartTimeoutMs);
  ASSERT_NE(welcome, nullptr) << "no welcome window";
  HWND install = driver::FindChildWindow(welcome, "Install");
  ASSERT_NE(install, nullptr);
  driver::PressButton(install);

  // The first setup shows its window while the welcome window is hidden, and
  // the second has not started yet.
  HWND first = driver::WaitForTopLevelWindow(kFirstSetup, 0, driver::kStartTimeoutMs);
  ASSERT_NE(first, nullptr) << "the first setup did not appear";
  EXPECT_FALSE(IsWindowVisible(welcome));
  EXPECT_EQ(driver::WaitForTopLevelWindow(kSecondSetup, 0, 0), nullptr);

  HWND second = driver::WaitForTopLevelWindow(kSecondSetup, 0, driver::kStartTimeoutMs);
  ASSERT_NE(second, nullptr) << "the second setup did not appear";
  EXPECT_FALSE(IsWindow(first) && IsWindowVisible(first)) << "the setups overlapped";

  DWORD exit_code = 1234;
  ASSERT_TRUE(installer.WaitForExit(driver::kStartTimeoutMs, &exit_code))
      << "the installer did not end";
  EXPECT_EQ(exit_code, 0u);

  const auto lines = LogLines(folder + "demo_setup.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(kFirstSetup, 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind(kSecondSetup, 0), 0u) << lines[1];
}

}  // namespace
