// A console program whose main thread pumps its messages and stops pumping for a while on
// request. Arguments: "threads" lists the registered threads' names and counts the main
// thread's message windows; otherwise pairs of "freeze <ms>" (no messages taken) and
// "pump <ms>", carried out in order after a second of pumping, each announced on a line
// of its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crash/win/registry_host_win.h"

namespace {

void Say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

// Pumps the thread's messages for the time given.
void Pump(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Where the frozen report finds the main thread: busy, no messages taken.
__attribute__((noinline)) void StuckInFreeze(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  while (static_cast<LONG>(until - GetTickCount()) > 0)
    Sleep(5);
}

// Counts the thread's message windows (those whose class has the message window's name).
BOOL CALLBACK CountMessageWindow(HWND window, LPARAM count) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (std::strncmp(name, "kivToolsMsgHandlerWindow", 24) == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "threads") == 0) {
    for (const crash::RegisteredThread& thread : crash::RegisteredThreads()) {
      std::printf("thread %s\n", thread.name.c_str());
    }
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountMessageWindow, reinterpret_cast<LPARAM>(&windows));
    std::printf("message windows %d\n", windows);
    return 0;
  }
  Pump(1000);
  for (int i = 1; i + 1 < argc; i += 2) {
    const DWORD ms = static_cast<DWORD>(std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "freeze") == 0) {
      Say("freeze");
      StuckInFreeze(ms);
    } else if (std::strcmp(argv[i], "pump") == 0) {
      Say("pump");
      Pump(ms);
    } else {
      return 2;
    }
  }
  Say("done");
  return 0;
}
