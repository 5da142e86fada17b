// The installer's registration window seen from outside: it exists from
// start-up but stays hidden (nothing shows it), its layout and texts are the
// stored ones, "Free Registration..." hands the registration address to the
// registered http handler (our recorder, registered for the test and put
// back afterwards), and shown by the test it draws its picture and link; the
// test saves that screenshot as screenshots/registration_window.bmp.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/integration/window_driver.h"

namespace {

constexpr char kWelcomeCaption[] = "Tomewright Installation";
constexpr char kAddress[] = "http://www.velmo.com/v3athome.htm";
constexpr char kHandlerKey[] = "http\\shell\\open\\command";

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || driver::WindowText(window) != "Form2") return TRUE;
  search->found = window;
  return FALSE;
}

// The installer's top-level window captioned "Form2", visible or not.
HWND FindRegistrationWindow(DWORD process) {
  Search search{process, nullptr};
  EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The screen's pixels of a rectangle, 0x00RRGGBB, row by row; also written
// to path as a 24-bit BMP file.
std::vector<DWORD> Screenshot(const RECT& area, const std::string& path) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
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
  std::vector<DWORD> pixels(source, source + static_cast<size_t>(width) * height);
  for (DWORD& pixel : pixels)
    pixel &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> file(54 + static_cast<size_t>(stride) * height, 0);
  auto put32 = [&file](size_t at, DWORD value) {
    for (int i = 0; i < 4; ++i)
      file[at + i] = static_cast<char>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<DWORD>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<DWORD>(width));
  put32(22, static_cast<DWORD>(height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    char* row = &file[54 + static_cast<size_t>(height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      const DWORD pixel = pixels[static_cast<size_t>(y) * width + x];
      row[3 * x] = static_cast<char>(pixel & 0xFF);
      row[3 * x + 1] = static_cast<char>(pixel >> 8);
      row[3 * x + 2] = static_cast<char>(pixel >> 16);
    }
  }
  CreateDirectoryA("screenshots", nullptr);
  std::ofstream(path, std::ios::binary)
      .write(file.data(), static_cast<std::streamsize>(file.size()));
  return pixels;
}

class RegistrationWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = driver::ExecutableFolder();
    log_ = folder_ + "url_recorder.log";
    DeleteFileA(log_.c_str());
    RegisterRecorder();
    ASSERT_TRUE(installer_.Start("\"" + folder_ + "install.exe\"", folder_));
    welcome_ =
        driver::WaitForTopLevelWindow(kWelcomeCaption, installer_.id(), driver::kStartTimeoutMs);
    ASSERT_NE(welcome_, nullptr) << "no welcome window";
    form_ = FindRegistrationWindow(installer_.id());
    ASSERT_NE(form_, nullptr) << "no registration window";
  }

  void TearDown() override {
    if (welcome_) PostMessageA(welcome_, WM_CLOSE, 0, 0);
    DWORD exit_code;
    installer_.WaitForExit(60000, &exit_code);
    RestoreHandler();
  }

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

  // The first line the recorder wrote, waiting up to 2 minutes for it.
  std::string WaitForAddress() {
    for (int i = 0; i < 1200; ++i) {
      std::ifstream file(log_, std::ios::binary);
      std::string line;
      if (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      Sleep(100);
    }
    return {};
  }

  std::string folder_;
  std::string log_;
  driver::ChildProcess installer_;
  HWND welcome_ = nullptr;
  HWND form_ = nullptr;
  bool had_old_ = false;
  DWORD old_type_ = REG_SZ;
  std::string old_value_;
};

TEST_F(RegistrationWindow, HiddenWithItsLayoutAndOpensTheRegistrationPage) {
  Sleep(1000);  // the program settled: still nothing shows it
  EXPECT_FALSE(IsWindowVisible(form_));
  const SIZE client = driver::ClientSize(form_);
  EXPECT_EQ(client.cx, 417);
  EXPECT_EQ(client.cy, 426);
  const LONG style = GetWindowLongA(form_, GWL_STYLE);
  EXPECT_EQ(style & WS_SYSMENU, 0) << "no border icons";
  EXPECT_EQ(style & WS_THICKFRAME, 0) << "not resizable";

  HWND free_registration = driver::FindChildWindow(form_, "Free Registration...");
  HWND close = driver::FindChildWindow(form_, "Close");
  ASSERT_NE(free_registration, nullptr);
  ASSERT_NE(close, nullptr);
  const RECT first = ChildRect(form_, free_registration);
  EXPECT_EQ(first.left, 176);
  EXPECT_EQ(first.top, 392);
  EXPECT_EQ(first.right - first.left, 131);
  EXPECT_EQ(first.bottom - first.top, 25);
  const RECT second = ChildRect(form_, close);
  EXPECT_EQ(second.left, 320);
  EXPECT_EQ(second.top, 392);
  EXPECT_EQ(second.right - second.left, 83);
  EXPECT_EQ(second.bottom - second.top, 25);

  // A click as the button reports it to its window.
  PostMessageA(form_, WM_COMMAND,
               MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(free_registration)), BN_CLICKED),
               reinterpret_cast<LPARAM>(free_registration));
  EXPECT_EQ(WaitForAddress(), kAddress);
  EXPECT_FALSE(IsWindowVisible(form_)) << "a modal result closes nothing outside a modal loop";
}

TEST_F(RegistrationWindow, ShownItDrawsItsPictureAndLink) {
  // Both windows are centred: the welcome window steps aside for the picture.
  ShowWindow(welcome_, SW_HIDE);
  ShowWindow(form_, SW_SHOWNOACTIVATE);
  Sleep(1500);  // painted
  RECT client;
  GetClientRect(form_, &client);
  MapWindowPoints(form_, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const std::vector<DWORD> pixels = Screenshot(client, "screenshots\\registration_window.bmp");
  const int width = client.right - client.left;
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
  EXPECT_EQ(at(320, 90), 0xFAD25Au) << "the picture's sun";
  // The 418 x 378 picture fills its 417 x 377 frame and is cut at its edges.
  EXPECT_NE(at(416, 376), 0xFFFFFFu) << "the picture reaches the frame's corner";
  EXPECT_NE(at(0, 376), 0xFFFFFFu);
  EXPECT_EQ(at(10, 377), 0xFFFFFFu) << "white below the frame";
  EXPECT_EQ(at(200, 385), 0xFFFFFFu);
  int blue = 0;
  for (int y = 400; y < 417; ++y) {
    for (int x = 24; x < 169; ++x) {
      const DWORD p = at(x, y);
      blue += (p & 0xFF) >= 0xA0 && ((p >> 8) & 0xFF) < 0x60 && ((p >> 16) & 0xFF) < 0x60;
    }
  }
  EXPECT_GT(blue, 40) << "the link is drawn in blue";
  ShowWindow(form_, SW_HIDE);
  ShowWindow(welcome_, SW_SHOWNOACTIVATE);
}

}  // namespace
