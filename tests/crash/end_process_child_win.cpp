// A child for the close tests, run in a test's working folder: "end" and "return" leave
// an atexit handler and a static object's destructor that would write atexit.txt and
// static.txt, then end through EndProcessNow or by returning from main; "sleep MS" only
// sleeps and returns.
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
  return 3;
}
