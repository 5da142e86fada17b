// A stand-in for a product's setup program in the demo distribution. It
// installs nothing: it appends "<product> <local time>" to demo_setup.log in
// the folder above its own (the distribution root), shows a window naming the
// product for a moment or until OK, and ends.
//
// The product name comes from the build (DEMO_PRODUCT). An optional argument
// gives the display time in milliseconds (default 2000, at most 60000).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#ifndef DEMO_PRODUCT
#error "DEMO_PRODUCT names the product this program stands in for"
#endif

namespace {

constexpr char kProduct[] = DEMO_PRODUCT;
constexpr char kWindowClass[] = "AdreloDemoSetup";
constexpr char kLogName[] = "demo_setup.log";
constexpr UINT kDefaultShowMs = 2000;
constexpr UINT kMaxShowMs = 60000;
constexpr int kOkButtonId = IDOK;
constexpr UINT_PTR kCloseTimerId = 1;

// Owns a file handle; closes it once. Movable, not copyable.
class OwnedFile {
 public:
  explicit OwnedFile(HANDLE handle) : handle_(handle) {}
  ~OwnedFile() {
    if (valid()) CloseHandle(handle_);
  }
  OwnedFile(OwnedFile&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  OwnedFile& operator=(OwnedFile&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  OwnedFile(const OwnedFile&) = delete;
  OwnedFile& operator=(const OwnedFile&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The distribution root: the folder above the one this program lies in, with
// a trailing backslash; empty when the module path cannot be read.
std::string DistributionRoot() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder(path, length);
  for (int i = 0; i < 2; ++i) {
    const std::size_t slash = folder.find_last_of('\\');
    if (slash == std::string::npos) return {};
    folder.resize(slash);
  }
  return folder + '\\';
}

// Appends "<product> <yyyy-mm-dd hh:mm:ss.mmm>" and CR LF to the log.
void AppendLogLine() {
  const std::string root = DistributionRoot();
  if (root.empty()) return;
  OwnedFile log(CreateFileA((root + kLogName).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.valid()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[160];
  const int length = std::snprintf(line, sizeof(line), "%s %04u-%02u-%02u %02u:%02u:%02u.%03u\r\n",
                                   kProduct, now.wYear, now.wMonth, now.wDay, now.wHour,
                                   now.wMinute, now.wSecond, now.wMilliseconds);
  if (length <= 0 || length >= static_cast<int>(sizeof(line))) return;
  DWORD written = 0;
  WriteFile(log.get(), line, static_cast<DWORD>(length), &written, nullptr);
}

// The display time from the command line: one decimal number of milliseconds,
// or the default when there is none or it is not a plain number in range.
UINT ShowTime(const char* command_line) {
  if (command_line == nullptr) return kDefaultShowMs;
  while (*command_line == ' ' || *command_line == '\t')
    ++command_line;
  if (*command_line < '0' || *command_line > '9') return kDefaultShowMs;
  char* end = nullptr;
  const unsigned long value = std::strtoul(command_line, &end, 10);
  while (*end == ' ' || *end == '\t')
    ++end;
  if (*end != '\0' || value > kMaxShowMs) return kDefaultShowMs;
  return static_cast<UINT>(value);
}

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
      const std::string text = std::string(kProduct) + "\r\nDemo only: nothing is installed.";
      HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      HWND label = CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 16, 16, 288,
                                   40, window, nullptr, create->hInstance, nullptr);
      HWND button = CreateWindowExA(
          0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 120, 68, 80, 25,
          window, reinterpret_cast<HMENU>(kOkButtonId), create->hInstance, nullptr);
      SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == kOkButtonId || LOWORD(wparam) == IDCANCEL) DestroyWindow(window);
      return 0;
    case WM_TIMER:
      if (wparam == kCloseTimerId) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      KillTimer(window, kCloseTimerId);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show) {
  AppendLogLine();

  WNDCLASSA window_class{};
  window_class.lpfnWndProc = DemoProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassA(&window_class)) return 1;

  const DWORD style = WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, 320, 108};
  AdjustWindowRect(&frame, style, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HWND window =
      CreateWindowExA(0, kWindowClass, kProduct, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                      instance, nullptr);
  if (window == nullptr) return 1;
  SetTimer(window, kCloseTimerId, ShowTime(command_line), nullptr);
  ShowWindow(window, show);
  UpdateWindow(window);
  SetFocus(GetDlgItem(window, kOkButtonId));

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
