#include "crash/win/watchdog_win.h"

#include <atomic>

#include "crash/crash_reporter.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_pause_win.h"
#include "trace/system/win/message_window_win.h"

namespace crash {
namespace {

struct Watchdog {
  HANDLE thread = nullptr;
  DWORD thread_id = 0;
  HWND receiver = nullptr;  // the starting thread's message window
  UINT message = 0;         // the registered question
  int timeout_ms = 0;
  std::atomic<int> misses{0};
};

constinit Watchdog g_watchdog;

// The receiver, on the thread that started the watchdog: a window argument is the frozen
// box, which is told to close; otherwise the watchdog gets its answer.
void Receive(void*, HWND, UINT, WPARAM wparam, LPARAM, LRESULT& result) {
  const HWND box = reinterpret_cast<HWND>(wparam);
  if (box != nullptr && IsWindow(box)) {
    PostMessageA(box, WM_NULL, kWatchdogAnswer, kWatchdogAnswer);
  } else if (g_watchdog.thread_id != 0) {
    PostThreadMessageA(g_watchdog.thread_id, WM_NULL, kWatchdogAnswer, kWatchdogAnswer);
  }
  result = kWatchdogAnswer;
}

// Empties the thread's queue; true when the answer was among the messages.
bool TakeAnswer() {
  bool answered = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.hwnd == nullptr && message.message == WM_NULL &&
        message.wParam == kWatchdogAnswer && message.lParam == kWatchdogAnswer) {
      answered = true;
    }
  }
  return answered;
}

DWORD WINAPI WatchdogThread(void*) {
  // One watchdog a process, even when several modules carry the reporter.
  if (const HANDLE mutex = WatchdogMutex()) WaitForSingleObject(mutex, INFINITE);
  MSG queue;
  PeekMessageA(&queue, nullptr, 0, 0, PM_NOREMOVE);  // the queue the answers come to
  const int first_period = g_watchdog.timeout_ms / 10;
  int period = first_period;
  for (;;) {
    PostMessageA(g_watchdog.receiver, g_watchdog.message, 0, 0);
    Sleep(static_cast<DWORD>(period));
    if (TakeAnswer()) {
      g_watchdog.misses = 0;
      period = first_period;
    } else if (++g_watchdog.misses >= 10) {
      ReportException(true, nullptr, 0, 0, true);
      g_watchdog.misses = 0;
      period += period / 2;
    }
  }
}

}  // namespace

bool StartWatchdog(int timeout_ms) {
  Watchdog& watchdog = g_watchdog;
  if (timeout_ms <= 0 || watchdog.receiver != nullptr) return false;
  const HWND window = trace::MessageWindow();
  if (window == nullptr) return false;
  const UINT message = trace::AddMessageHandler({&Receive, nullptr}, 0, 0, 0, 0);
  if (message == 0) return false;
  watchdog.receiver = window;
  watchdog.message = message;
  watchdog.timeout_ms = timeout_ms;
  watchdog.misses = 0;
  watchdog.thread =
      CreateThread(nullptr, 0, WatchdogThread, nullptr, CREATE_SUSPENDED, &watchdog.thread_id);
  if (watchdog.thread == nullptr) {
    watchdog.thread_id = 0;
    StopWatchdog();
    return false;
  }
  SetThreadName(watchdog.thread_id, "-");
  SetThreadPriority(watchdog.thread, THREAD_PRIORITY_HIGHEST);
  ResumeThread(watchdog.thread);
  return true;
}

void StopWatchdog() {
  Watchdog& watchdog = g_watchdog;
  if (watchdog.receiver == nullptr) return;
  trace::RemoveMessageHandler({&Receive, nullptr}, watchdog.message, 0, 0, 0);
  if (watchdog.thread != nullptr) {
    TerminateThread(watchdog.thread, 0);
    WaitForSingleObject(watchdog.thread, 1000);
    CloseHandle(watchdog.thread);
    RemoveThread(watchdog.thread_id);
  }
  watchdog.thread = nullptr;
  watchdog.thread_id = 0;
  watchdog.receiver = nullptr;
  watchdog.message = 0;
}

bool PauseWatchdog() {
  const Watchdog& watchdog = g_watchdog;
  if (watchdog.thread == nullptr || GetCurrentThreadId() == watchdog.thread_id) return false;
  return SuspendGuarded(watchdog.thread);
}

void ResumeWatchdog(bool paused) {
  if (paused && g_watchdog.thread != nullptr) ResumeThread(g_watchdog.thread);
  ResetWatchdogMisses();
}

void ResetWatchdogMisses() {
  g_watchdog.misses = 0;
}

uint32_t WatchdogThreadId() {
  return g_watchdog.thread_id;
}

void AnnounceFrozenBox(HWND box) {
  if (g_watchdog.receiver != nullptr) {
    PostMessageA(g_watchdog.receiver, g_watchdog.message, reinterpret_cast<WPARAM>(box), 0);
  }
}

}  // namespace crash
