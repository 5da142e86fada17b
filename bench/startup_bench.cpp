// Start-up benchmark: the time from starting install.exe until its welcome
// window is visible, over several runs, and the size of the executable.
//   startup_bench [RUNS]   (install.exe is taken from beside the benchmark)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD process_id;
  bool found;
};

BOOL CALLBACK MatchWelcome(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<Search*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char text[64];
  if (owner == search->process_id && IsWindowVisible(window) &&
      GetWindowTextA(window, text, sizeof text) > 0 &&
      std::string(text) == "Tomewright Installation") {
    search->found = true;
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

// Milliseconds from CreateProcess to the visible window, or -1.
double MeasureOnce(const std::string& folder, LARGE_INTEGER frequency) {
  std::string line = "\"" + folder + "install.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &info)) {
    return -1;
  }
  double elapsed = -1;
  for (;;) {
    Search search{info.dwProcessId, false};
    EnumWindows(MatchWelcome, reinterpret_cast<LPARAM>(&search));
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    if (search.found) {
      elapsed = ms;
      break;
    }
    if (ms > 120000 || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string folder = Folder();
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExA((folder + "install.exe").c_str(), GetFileExInfoStandard, &attributes)) {
    std::printf("startup_bench: no install.exe in %s\n", folder.c_str());
    return 1;
  }
  std::printf("install.exe size: %lu bytes\n", static_cast<unsigned long>(attributes.nFileSizeLow));
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = MeasureOnce(folder, frequency);
    if (ms < 0) {
      std::printf("run %d: the welcome window did not appear\n", i + 1);
      return 1;
    }
    std::printf("run %d: welcome window visible after %.0f ms\n", i + 1, ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("start to visible window: min %.0f ms, median %.0f ms, max %.0f ms (%d runs)\n",
              times.front(), times[times.size() / 2], times.back(), runs);
  return 0;
}
