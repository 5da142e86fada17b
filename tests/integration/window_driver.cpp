#include "tests/integration/window_driver.h"

#include <vector>

namespace driver {

ChildProcess::~ChildProcess() {
  if (process_) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 255);
    CloseHandle(process_);
  }
}

bool ChildProcess::Start(const std::string& command_line, const std::string& folder) {
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return true;
}

bool ChildProcess::WaitForExit(DWORD timeout_ms, DWORD* exit_code) {
  if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(process_, exit_code) != 0;
}

namespace {

struct WindowSearch {
  const std::string* caption;
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->process_id != 0 && owner != search->process_id) return TRUE;
  if (!IsWindowVisible(window) || WindowText(window) != *search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND WaitForTopLevelWindow(const std::string& caption, DWORD process_id, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    WindowSearch search{&caption, process_id, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(50);
  }
}

std::string WindowText(HWND window) {
  char text[512];
  const int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

std::string ExecutableFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

}  // namespace driver

namespace driver {

namespace {

struct ChildSearch {
  const std::string* text;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<ChildSearch*>(lparam);
  if (WindowText(window) != *search->text) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindChildWindow(HWND parent, const std::string& text) {
  ChildSearch search{&text, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FocusedWindow(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PressKey(HWND window, WORD key) {
  HWND target = FocusedWindow(window);
  if (!target) target = window;
  const UINT scan = MapVirtualKeyA(key, 0);
  PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

void PressButton(HWND button) {
  PostMessageA(button, BM_CLICK, 0, 0);
}

}  // namespace driver
