// Start-up benchmark: the time from CreateProcess until the first window is
// visible, for install.exe and for minimal_window.exe (one class, one window,
// a message loop: the floor any window program pays here), in alternating
// runs; medians and the ratio installer / minimal, and the installer's size.
// For the first few runs it also times the way out: WM_CLOSE posted to the
// window until the process has ended (the other runs end the process at once).
//   startup_bench [RUNS]   (both programs are taken from beside the benchmark)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/summary_line.h"

namespace {

// A program under test and the caption of the window that shows it started.
struct Program {
  const char* file;
  const char* caption;
  std::vector<double> visible_ms;
  std::vector<double> exit_ms;
};

struct Search {
  DWORD process_id;
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<Search*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char text[64];
  if (owner == search->process_id && IsWindowVisible(window) &&
      GetWindowTextA(window, text, sizeof text) > 0 && std::string(text) == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::string Folder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

double Milliseconds(LARGE_INTEGER since, LARGE_INTEGER frequency) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - since.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// Runs whose way out is timed; it is steady, and each costs seconds under Wine.
constexpr int kExitRuns = 3;

// One run: milliseconds from CreateProcess to the visible window and, with
// time_exit, from WM_CLOSE to the process's end. False when the window did
// not appear.
bool MeasureOnce(const std::string& folder, Program& program, LARGE_INTEGER frequency,
                 bool time_exit) {
  std::string line = "\"" + folder + program.file + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &info)) {
    return false;
  }
  HWND window = nullptr;
  for (;;) {
    Search search{info.dwProcessId, program.caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    const double ms = Milliseconds(start, frequency);
    if (search.found) {
      window = search.found;
      program.visible_ms.push_back(ms);
      break;
    }
    if (ms > 120000 || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  if (window && time_exit) {
    LARGE_INTEGER close;
    QueryPerformanceCounter(&close);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0) {
      program.exit_ms.push_back(Milliseconds(close, frequency));
    }
  }
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return window != nullptr;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void PrintTimes(const char* what, const char* file, std::vector<double> values) {
  if (values.empty()) {
    std::printf("%s, %s: no runs\n", file, what);
    return;
  }
  std::sort(values.begin(), values.end());
  std::printf("%s, %s: min %.0f ms, median %.0f ms, max %.0f ms (%zu runs)\n", file, what,
              values.front(), Median(values), values.back(), values.size());
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string folder = Folder();
  Program installer{"install.exe", "Tomewright Installation", {}, {}};
  Program minimal{"minimal_window.exe", "Minimal Window", {}, {}};
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  for (const Program* program : {&installer, &minimal}) {
    if (!GetFileAttributesExA((folder + program->file).c_str(), GetFileExInfoStandard,
                              &attributes)) {
      std::printf("startup_bench: no %s in %s\n", program->file, folder.c_str());
      return 1;
    }
    std::printf("%s size: %lu bytes\n", program->file,
                static_cast<unsigned long>(attributes.nFileSizeLow));
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  // Alternating runs, so that both programs meet the same state of the machine.
  for (int i = 0; i < runs; ++i) {
    for (Program* program : {&installer, &minimal}) {
      if (!MeasureOnce(folder, *program, frequency, i < kExitRuns)) {
        std::printf("run %d: the window of %s did not appear\n", i + 1, program->file);
        return 1;
      }
      std::printf("run %d: %-18s window visible after %4.0f ms", i + 1, program->file,
                  program->visible_ms.back());
      if (i < kExitRuns && program->exit_ms.size() == static_cast<size_t>(i + 1)) {
        std::printf(", ended %4.0f ms after WM_CLOSE", program->exit_ms.back());
      }
      std::printf("\n");
    }
  }
  for (const Program* program : {&installer, &minimal}) {
    PrintTimes("start to visible window", program->file, program->visible_ms);
    PrintTimes("WM_CLOSE to process end", program->file, program->exit_ms);
  }
  const double ratio = Median(installer.visible_ms) / Median(minimal.visible_ms);
  std::printf("installer / minimal, start to visible window (medians): %.2f\n", ratio);
  bench::PrintSummaryLine("start-up: CreateProcess to visible window", Median(installer.visible_ms),
                          "ms", "minimal window program", Median(minimal.visible_ms));
  bench::PrintSummaryLine(
      "start-up: fastest run",
      *std::min_element(installer.visible_ms.begin(), installer.visible_ms.end()), "ms",
      "minimal window program",
      *std::min_element(minimal.visible_ms.begin(), minimal.visible_ms.end()));
  bench::PrintSummaryLine("way out: WM_CLOSE to process end", Median(installer.exit_ms), "ms",
                          "minimal window program", Median(minimal.exit_ms));
  return 0;
}
