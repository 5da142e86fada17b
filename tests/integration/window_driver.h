// Drives our Windows programs from outside, as a person at the screen would:
// starts them, finds their windows and sends them input. Used by the
// integration tests and by windriver.exe.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

// How long a program of ours may take to show its first window.
constexpr DWORD kStartTimeoutMs = 30000;

// A child process started from a command line; terminated and released when
// the owner goes away while it still runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the command line in the given folder (empty: the current one).
  bool Start(const std::string& command_line, const std::string& folder = {});
  // Waits for the end; true with the exit code when it ended in time.
  bool WaitForExit(DWORD timeout_ms, DWORD* exit_code);
  // The process id, 0 before Start.
  DWORD id() const { return id_; }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Waits for a visible top-level window with exactly this caption; of the
// given process when process_id is not 0. Null when none appeared in time.
HWND WaitForTopLevelWindow(const std::string& caption, DWORD process_id, DWORD timeout_ms);

// The window's caption or text.
std::string WindowText(HWND window);

// The size of the window's client area.
SIZE ClientSize(HWND window);

// The folder of the running executable, with a trailing backslash.
std::string ExecutableFolder();

}  // namespace driver

namespace driver {

// The first child window (at any depth) whose text is exactly text, or null.
HWND FindChildWindow(HWND parent, const std::string& text);

// The window that has the keyboard focus in the thread owning window, or null.
HWND FocusedWindow(HWND window);

// Presses a key in the focused window of window's thread (posted WM_KEYDOWN
// and WM_KEYUP, as a keyboard would deliver them).
void PressKey(HWND window, WORD key);

// Presses a button as a click would (BM_CLICK, posted).
void PressButton(HWND button);

}  // namespace driver
