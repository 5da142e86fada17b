// The installer started as a user starts it: its welcome window appears with
// its caption and size, and closing the window ends the program normally.
#include <gtest/gtest.h>

#include "tests/integration/window_driver.h"

namespace {

TEST(InstallerStart, WindowAppearsAndClosingEndsTheProgram) {
  driver::ChildProcess installer;
  const std::string folder = driver::ExecutableFolder();
  ASSERT_TRUE(installer.Start("\"" + folder + "install.exe\"", folder));

  HWND window = driver::WaitForTopLevelWindow("Tomewright Installation", installer.id(),
                                              driver::kStartTimeoutMs);
  ASSERT_NE(window, nullptr) << "no installer window";
  const SIZE client = driver::ClientSize(window);
  EXPECT_EQ(client.cx, 497);
  EXPECT_EQ(client.cy, 328);

  PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD exit_code = 1234;
  ASSERT_TRUE(installer.WaitForExit(60000, &exit_code));
  EXPECT_EQ(exit_code, 0u);
}

}  // namespace
