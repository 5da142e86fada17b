// The link label of the welcome window seen and used from outside: its anchor
// is drawn blue and underlined (read from the screen's pixels), the cursor
// over the anchor text differs from the one beside it, and a left, right or
// middle click hands the exact web address to the registered http handler
// (our recorder, registered for the test and put back afterwards).
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/window_driver.h"

namespace {

constexpr char kCaption[] = "Tomewright Installation";
constexpr char kAddress[] = "http://www.velmo.com";
constexpr char kHandlerKey[] = "http\\shell\\open\\command";
// The label's place on the window.
constexpr RECT kLabel{16, 296, 16 + 145, 296 + 17};

// The pixels of a rectangle of the screen, 0x00RRGGBB, row by row.
std::vector<DWORD> ScreenPixels(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const DWORD* source = static_cast<const DWORD*>(bits);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = source[i] & 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool IsBlue(DWORD rgb) {
  return (rgb & 0xFF) >= 0xA0 && ((rgb >> 8) & 0xFF) < 0x60 && ((rgb >> 16) & 0xFF) < 0x60;
}

class WelcomeLink : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = driver::ExecutableFolder();
    log_ = folder_ + "url_recorder.log";
    DeleteFileA(log_.c_str());
    RegisterRecorder();
    ASSERT_TRUE(installer_.Start("\"" + folder_ + "install.exe\"", folder_));
    window_ = driver::WaitForTopLevelWindow(kCaption, installer_.id(), driver::kStartTimeoutMs);
    ASSERT_NE(window_, nullptr) << "no welcome window";
    SetForegroundWindow(window_);
    Sleep(1500);  // painted
  }

  void TearDown() override {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    DWORD exit_code;
    installer_.WaitForExit(60000, &exit_code);
    RestoreHandler();
  }

  // Makes our recorder the handler of http addresses, keeping the old one.
  void RegisterRecorder() {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kHandlerKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char old[1024];
    DWORD size = sizeof old;
    DWORD type = 0;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
        ERROR_SUCCESS) {
      had_old_ = true;
      old_type_ = type;
      old_value_.assign(old, size);
    }
    const std::string command = "\"" + folder_ + "url_recorder.exe\" \"%1\"";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
  }

  void RestoreHandler() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHandlerKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return;
    if (had_old_) {
      RegSetValueExA(key, nullptr, 0, old_type_, reinterpret_cast<const BYTE*>(old_value_.data()),
                     static_cast<DWORD>(old_value_.size()));
    } else {
      RegDeleteValueA(key, nullptr);
    }
    RegCloseKey(key);
  }

  // The lines the recorder wrote, waiting until there are count of them.
  std::vector<std::string> WaitForAddresses(size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 1200; ++i) {
      lines.clear();
      std::ifstream file(log_, std::ios::binary);
      std::string line;
      while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
      }
      if (lines.size() >= count) break;
      Sleep(100);
    }
    return lines;
  }

  // The cursor shown once the mouse rests at a point of the window's client area.
  HCURSOR CursorAt(POINT client) {
    POINT screen = client;
    ClientToScreen(window_, &screen);
    SetCursorPos(screen.x, screen.y);
    Sleep(1500);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info)) return nullptr;
    return info.hCursor;
  }

  std::string folder_;
  std::string log_;
  driver::ChildProcess installer_;
  HWND window_ = nullptr;
  bool had_old_ = false;
  DWORD old_type_ = REG_SZ;
  std::string old_value_;
};

TEST_F(WelcomeLink, DrawnBlueUnderlinedWithTheHandCursorAndEveryButtonOpensTheAddress) {
  RECT area = kLabel;
  MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&area), 2);
  const std::vector<DWORD> pixels = ScreenPixels(area);
  const int width = kLabel.right - kLabel.left;
  const int height = kLabel.bottom - kLabel.top;

  // The text is blue, not the label font's navy; one row is a solid blue
  // line under the whole text.
  int left = width;
  int right = -1;
  int blue = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!IsBlue(pixels[y * width + x])) continue;
      ++blue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  ASSERT_GT(blue, 50) << "no blue text in the label";
  EXPECT_LT(right - left, width - 2) << "the text fills the label";
  int underline_row = -1;
  for (int y = 0; y < height; ++y) {
    int run = 0;
    for (int x = left; x <= right; ++x)
      run += pixels[y * width + x] == 0x0000FF;
    if (run >= (right - left + 1) * 9 / 10) underline_row = y;
  }
  EXPECT_GE(underline_row, height / 2) << "no underline";

  // The hand over the text (a cursor of its own), the arrow beside it as
  // elsewhere on the window.
  const int middle = underline_row > 4 ? underline_row - 4 : height / 2;
  const POINT on_text{kLabel.left + left + 4, kLabel.top + middle};
  const POINT beside{kLabel.left + std::min(right + 8, width - 2), kLabel.top + middle};
  const HCURSOR elsewhere = CursorAt(POINT{250, 280});
  const HCURSOR over = CursorAt(on_text);
  const HCURSOR next_to = CursorAt(beside);
  EXPECT_NE(over, elsewhere);
  EXPECT_EQ(next_to, elsewhere);
  EXPECT_EQ(CursorAt(on_text), over);

  // Every button opens the address through the shell, exactly as written.
  const LPARAM at = MAKELPARAM(on_text.x, on_text.y);
  const UINT downs[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  for (size_t i = 0; i < 3; ++i) {
    PostMessageA(window_, downs[i], 0, at);
    PostMessageA(window_, downs[i] + 1, 0, at);
    const std::vector<std::string> addresses = WaitForAddresses(i + 1);
    ASSERT_EQ(addresses.size(), i + 1) << "click " << i << " opened nothing";
    EXPECT_EQ(addresses[i], kAddress);
  }
  // Beside the text a click opens nothing.
  PostMessageA(window_, WM_LBUTTONDOWN, 0, MAKELPARAM(beside.x, beside.y));
  PostMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(beside.x, beside.y));
  Sleep(5000);
  EXPECT_EQ(WaitForAddresses(3).size(), 3u);
}

}  // namespace
