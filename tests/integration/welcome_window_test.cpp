// The welcome window driven from outside: its layout as the system reports
// it, the keyboard (Enter presses Install, Escape does nothing), Cancel, and
// Install from a folder that holds no setup programs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/integration/window_driver.h"

namespace {

constexpr char kCaption[] = "Tomewright Installation";

// The installer copied alone into a folder of its own: no tw1, no tw2.
class WelcomeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = driver::ExecutableFolder() + "welcome-alone\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((driver::ExecutableFolder() + "install.exe").c_str(),
                          (folder_ + "install.exe").c_str(), FALSE));
    ASSERT_TRUE(installer_.Start("\"" + folder_ + "install.exe\"", folder_));
    window_ = driver::WaitForTopLevelWindow(kCaption, installer_.id(), driver::kStartTimeoutMs);
    ASSERT_NE(window_, nullptr) << "no welcome window";
  }

  // True when the program ended normally within the time.
  bool EndsWithin(DWORD timeout_ms) {
    DWORD exit_code = 1234;
    return installer_.WaitForExit(timeout_ms, &exit_code) && exit_code == 0;
  }

  std::string folder_;
  driver::ChildProcess installer_;
  HWND window_ = nullptr;
};

TEST_F(WelcomeWindow, LayoutTitleAndFocus) {
  const SIZE client = driver::ClientSize(window_);
  EXPECT_EQ(client.cx, 497);
  EXPECT_EQ(client.cy, 328);

  // Single border, not resizable, no border icons at all.
  const LONG style = GetWindowLongA(window_, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);

  // Centred on the screen.
  RECT frame;
  GetWindowRect(window_, &frame);
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_LE(std::abs(frame.left + frame.right - screen_width), 1);
  EXPECT_LE(std::abs(frame.top + frame.bottom - screen_height), 1);

  // The task-bar button belongs to the owner window, titled differently.
  HWND owner = GetWindow(window_, GW_OWNER);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(driver::WindowText(owner), "Adrelo Installation");

  // Install has the focus first; both buttons are where the layout puts them.
  HWND install = driver::FindChildWindow(window_, "Install");
  HWND cancel = driver::FindChildWindow(window_, "Cancel");
  ASSERT_TRUE(install && cancel);
  // The window may show (and paint) a moment before the focus arrives.
  for (int i = 0; i < 100 && driver::FocusedWindow(window_) != install; ++i)
    Sleep(50);
  EXPECT_EQ(driver::FocusedWindow(window_), install);
  RECT button;
  GetWindowRect(install, &button);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, 296);
  EXPECT_EQ(button.top, 288);
  EXPECT_EQ(button.right - button.left, 89);
  EXPECT_EQ(button.bottom - button.top, 25);
  EXPECT_EQ(GetWindowLongA(install, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);

  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(EndsWithin(60000));
}

TEST_F(WelcomeWindow, EscapeDoesNothingAndEnterInstallsWithoutAnyMessage) {
  driver::PressKey(window_, VK_ESCAPE);
  Sleep(2000);
  EXPECT_TRUE(IsWindow(window_) && IsWindowVisible(window_)) << "Escape closed the window";

  // Enter presses Install; without tw1 and tw2 both runs fail silently and
  // the program ends by itself (a message box would keep it alive).
  driver::PressKey(window_, VK_RETURN);
  EXPECT_TRUE(EndsWithin(120000)) << "Install did not end the program";
}

TEST_F(WelcomeWindow, CancelEndsAtOnce) {
  HWND cancel = driver::FindChildWindow(window_, "Cancel");
  ASSERT_NE(cancel, nullptr);
  driver::PressButton(cancel);
  EXPECT_TRUE(EndsWithin(30000));
}

}  // namespace
