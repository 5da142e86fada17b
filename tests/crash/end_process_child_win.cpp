// A child for the close tests, run in a test's working folder: "end" and "return" leave
// an atexit handler and a static object's destructor that would write atexit.txt and
// static.txt, then end through EndProcessNow or by returning from main;
// "restart-unstartable" leaves the same and restarts with its command line made to name a
// program that does not exist (each start adds a line to starts.txt); "sleep MS" only sleeps and
// returns.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crash/win/restart_win.h"

namespace {

void Touch(const char* name) {
  if (FILE* file = std::fopen(name, "wb")) std::fclose(file);
}

struct StaticMarker {
  ~StaticMarker() { Touch("static.txt"); }
};

StaticMarker marker;

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "sleep") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    return 0;
  }
  std::atexit([] { Touch("atexit.txt"); });
  if (argc >= 2 && std::strcmp(argv[1], "end") == 0) crash::EndProcessNow();
  if (argc >= 2 && std::strcmp(argv[1], "restart-unstartable") == 0) {
    // Each start leaves a line; a second one (the restart went through after all) stops.
    FILE* starts = std::fopen("starts.txt", "ab+");
    const bool first =
        starts != nullptr && std::fseek(starts, 0, SEEK_END) == 0 && std::ftell(starts) == 0;
    if (starts != nullptr) {
      std::fputs("started\n", starts);
      std::fclose(starts);
    }
    if (!first) return 4;
    // The process's own command line text, overwritten in place: the restart reads it.
    char* command_line = GetCommandLineA();
    const char kMissing[] = "\"Z:\\no such folder\\none.exe\"";
    if (std::strlen(command_line) >= sizeof(kMissing)) {
      std::memcpy(command_line, kMissing, sizeof(kMissing));
      crash::StartNewInstance(crash::ExceptionHistory{});
    }
  }
  return 3;
}
