// Starting a program through the shell and waiting for it with the calling
// thread's messages served.
#include "app/launcher.h"

#include <utility>

namespace app {

namespace launcher_detail {

static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "ShellExecuteExA reads a 60-byte record");
static_assert(kExecuteMask == (SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT |
                               SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI));

namespace {

// The slice of one wait on the child; bounds how late a queued message or the
// child's end is noticed.
constexpr DWORD kWaitSliceMs = 10;

// Owns a kernel handle and closes it once; movable, not copyable.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Dispatches every message waiting for this thread. A WM_QUIT taken from the
// queue cannot be dispatched; its exit code is kept in quit_code so that the
// quit can be posted again once the wait is over.
void DrainMessages(bool* quit_seen, WPARAM* quit_code) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *quit_seen = true;
      *quit_code = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

SHELLEXECUTEINFOA MakeExecuteInfo(const std::string& file, const std::string& parameters,
                                  const std::string& verb, int show) {
  SHELLEXECUTEINFOA info;
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = kExecuteMask;
  info.hwnd = nullptr;
  info.lpVerb = verb.empty() ? nullptr : verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = show;
  return info;
}

bool ExecuteAndWait(SHELLEXECUTEINFOA* info, ExecuteFunction execute) {
  if (!execute(info)) return false;
  // The shell may satisfy a request without a new process (no handle).
  OwnedHandle process(info->hProcess);
  info->hProcess = nullptr;
  if (process.get() == nullptr) return true;

  WaitForInputIdle(process.get(), INFINITE);
  bool quit_seen = false;
  WPARAM quit_code = 0;
  while (WaitForSingleObject(process.get(), kWaitSliceMs) == WAIT_TIMEOUT) {
    DrainMessages(&quit_seen, &quit_code);
  }
  if (quit_seen) PostQuitMessage(static_cast<int>(quit_code));
  return true;
}

std::string AddTrailingBackslashInCodePage(const std::string& path, UINT code_page) {
  // The last character starts where a walk from the front, stepping over
  // lead byte and trail byte together, last stopped.
  std::size_t last = 0;
  std::size_t position = 0;
  while (position < path.size()) {
    last = position;
    const bool pair = IsDBCSLeadByteEx(code_page, static_cast<BYTE>(path[position])) &&
                      position + 1 < path.size() && path[position + 1] != '\0';
    position += pair ? 2 : 1;
  }
  if (!path.empty() && last == path.size() - 1 && path[last] == '\\') return path;
  return path + '\\';
}

}  // namespace launcher_detail

bool RunProgramAndWait(const std::string& file, const std::string& parameters,
                       const std::string& verb, int show) {
  SHELLEXECUTEINFOA info = launcher_detail::MakeExecuteInfo(file, parameters, verb, show);
  return launcher_detail::ExecuteAndWait(&info, ShellExecuteExA);
}

std::string AddTrailingBackslash(const std::string& path) {
  return launcher_detail::AddTrailingBackslashInCodePage(path, CP_ACP);
}

}  // namespace app
