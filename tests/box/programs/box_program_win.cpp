// A window program that takes the reporter and crashes as its first argument says, for the
// exception box's tests, which drive the box from outside. Every instance appends
// "started <exceptions in its history>" to the log file named by the second argument;
// where the program goes on after the box it appends "continued" and ends with exit code
// kContinuedExit.
//
//   handler    an exception escapes an event handler (the program may go on)
//   fault      an access violation on the main thread outside guarded code (it may not)
//   freeze     the main thread takes its messages, stops taking them for 6 s (long enough
//              for the watchdog of a program built with AntiFreezeTimeout), then takes
//              them again for 3 s
//   heap_busy  as handler, while another thread allocates and frees without pause; the
//              log says whether it still runs after the box
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "crash/crash_reporter.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/guard.h"

namespace {

constexpr int kContinuedExit = 42;
constexpr int kRestartedExit = 7;

int* volatile g_null = nullptr;
volatile LONG g_allocations = 0;

void Log(const std::string& file, const std::string& line) {
  if (FILE* out = std::fopen(file.c_str(), "a")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
}

// Allocates and frees in a loop, so that the heap's lock is taken most of the time.
DWORD WINAPI HeapBusy(void*) {
  for (;;) {
    void* blocks[64];
    for (auto& block : blocks)
      block = std::malloc(16 + (g_allocations & 1023));
    for (auto& block : blocks)
      std::free(block);
    InterlockedIncrement(&g_allocations);
  }
}

// Takes the thread's messages for the time given.
void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
    Sleep(5);
  }
}

__attribute__((noinline)) void Throw() {
  throw fw::Exception("The box test's failure");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  const std::string scenario = __argv[1];
  const std::string log = __argv[2];
  int history = 0;
  for (uint64_t entry : crash::ReporterHistory().seconds)
    history += entry != 0;
  Log(log, "started " + std::to_string(history));
  if (history > 0) return kRestartedExit;

  if (scenario == "fault") {
    *g_null = 1;
  } else if (scenario == "freeze") {
    Pump(500);
    Sleep(6000);
    Pump(3000);
  } else if (scenario == "handler" || scenario == "heap_busy") {
    if (scenario == "heap_busy") {
      CreateThread(nullptr, 0, HeapBusy, nullptr, 0, nullptr);
      while (g_allocations < 100)
        Sleep(1);
    }
    fw::TApplication application;
    fw::CallGuarded(&application, [] { Throw(); });
    if (scenario == "heap_busy") {
      // The paused worker was resumed with the program.
      const LONG before = g_allocations;
      Sleep(300);
      Log(log, g_allocations > before ? "worker went on" : "worker stopped");
    }
  } else {
    return 2;
  }
  Log(log, "continued");
  return kContinuedExit;
}
