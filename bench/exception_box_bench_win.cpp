// The time from an exception's report request to the visible exception box, in a window
// program with ten worker threads waiting below recursions of 4 to 76 frames of -O2 code
// without frame pointers (all of them paused and traced for the report).
//
// One program, two roles: started without arguments it is the driver, which starts itself
// with "crash <runs>" and, for every run, reads the moment the crashing instance raises
// (its performance counter, which the two processes share), watches for the box to be
// visible, and presses continue.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/clock_win.h"
#include "bench/summary_line.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/guard.h"

namespace {

constexpr int kThreads = 10;
constexpr int kRuns = 8;
constexpr int kJunkDwords = 8;

HANDLE g_release = nullptr;
volatile int g_sink = 0;

__attribute__((noipa)) uint32_t Deep(int depth, uint32_t seed) {
  volatile uint32_t junk[kJunkDwords];
  for (int i = 0; i < kJunkDwords; ++i)
    junk[i] = (seed + static_cast<uint32_t>(i)) * 2654435761u;
  if (depth == 0) {
    g_sink = g_sink + static_cast<int>(WaitForSingleObject(g_release, INFINITE));
    return junk[1];
  }
  const uint32_t inner = Deep(depth - 1, seed * 31 + 7);
  return inner + junk[depth % kJunkDwords];
}

DWORD WINAPI WorkerStart(void* depth) {
  return Deep(static_cast<int>(reinterpret_cast<intptr_t>(depth)), 1) == 0x12345678;
}

__attribute__((noinline)) void Throw() {
  throw fw::Exception("The benchmark's failure");
}

// The crashing instance: the workers, then one exception a run, each announced on
// standard output with the counter's value just before it is raised.
int Crash(int runs) {
  g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<HANDLE> workers;
  for (int i = 0; i < kThreads; ++i) {
    workers.push_back(CreateThread(nullptr, 0, WorkerStart,
                                   reinterpret_cast<void*>(static_cast<intptr_t>(4 + 8 * i)), 0,
                                   nullptr));
  }
  Sleep(300);
  fw::TApplication application;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (int run = 0; run < runs; ++run) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const std::string line = "raise " + std::to_string(counter.QuadPart) + "\n";
    DWORD written = 0;
    WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    fw::CallGuarded(&application, [] { Throw(); });
  }
  SetEvent(g_release);
  WaitForMultipleObjects(kThreads, workers.data(), TRUE, 5000);
  return 0;
}

struct BoxSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<BoxSearch*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (owner == search->process_id && IsWindowVisible(window) &&
      std::string(name) == "kestraponWndClass") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchContinue(HWND window, LPARAM lparam) {
  char text[32] = "";
  GetWindowTextA(window, text, sizeof text);
  if (std::string(text) == "continue") {
    *reinterpret_cast<HWND*>(lparam) = window;
    return FALSE;
  }
  return TRUE;
}

// One line from the pipe, without its end; empty when the pipe ended.
std::string ReadLine(HANDLE pipe) {
  std::string line;
  char c = 0;
  DWORD count = 0;
  while (ReadFile(pipe, &c, 1, &count, nullptr) && count == 1) {
    if (c == '\n') return line;
    line += c;
  }
  return line;
}

int Drive() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  CreatePipe(&read, &write, &inherit, 0);
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + std::string(path) + "\" crash " + std::to_string(kRuns);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::printf("cannot start the crashing instance\n");
    return 1;
  }
  CloseHandle(write);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    const std::string line = ReadLine(read);
    if (line.rfind("raise ", 0) != 0) break;
    const long long raised = std::atoll(line.c_str() + 6);
    BoxSearch search{process.dwProcessId, nullptr};
    const double give_up = bench::Now() + 60;
    while (!search.found && bench::Now() < give_up) {
      EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
      if (!search.found) Sleep(1);
    }
    LARGE_INTEGER seen;
    QueryPerformanceCounter(&seen);
    if (!search.found) {
      std::printf("no box in run %d\n", run);
      break;
    }
    const double ms = 1000.0 * static_cast<double>(seen.QuadPart - raised) / frequency.QuadPart;
    times.push_back(ms);
    std::printf("run %d: box visible %.1f ms after the request\n", run, ms);
    std::fflush(stdout);
    Sleep(200);  // the box paints, and is seen as a user would
    HWND go_on = nullptr;
    EnumChildWindows(search.found, MatchContinue, reinterpret_cast<LPARAM>(&go_on));
    PostMessageA(go_on, BM_CLICK, 0, 0);
    while (IsWindow(search.found))
      Sleep(5);
  }
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(read);
  if (times.size() < 2) return 1;
  std::vector<double> later(times.begin() + 1, times.end());
  std::sort(later.begin(), later.end());
  std::printf("first %.1f ms (the trace state empty); later runs: median %.1f, %.1f - %.1f ms\n",
              times[0], later[later.size() / 2], later.front(), later.back());
  bench::PrintSummaryLine("exception_box_visible_first", times[0], "ms");
  bench::PrintSummaryLine("exception_box_visible", later[later.size() / 2], "ms");
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc >= 3 && std::string(__argv[1]) == "crash") return Crash(std::atoi(__argv[2]));
  return Drive();
}
