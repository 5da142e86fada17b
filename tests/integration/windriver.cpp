// windriver.exe: a command-line hand on our windows, for scripts.
//   windriver wait CAPTION [SECONDS]   waits for the window, prints its client size
//   windriver close CAPTION [SECONDS]  waits for the window, then closes it
// Exit code 0 on success, 1 when the window did not appear, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/integration/window_driver.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: windriver wait|close CAPTION [SECONDS]\n");
    return 2;
  }
  const std::string command = argv[1];
  const DWORD seconds = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 60;
  HWND window = driver::WaitForTopLevelWindow(argv[2], 0, seconds * 1000);
  if (!window) {
    std::printf("no window \"%s\" within %lu s\n", argv[2], static_cast<unsigned long>(seconds));
    return 1;
  }
  const SIZE size = driver::ClientSize(window);
  std::printf("window \"%s\" client %ldx%ld\n", argv[2], size.cx, size.cy);
  if (command == "close")
    PostMessageA(window, WM_CLOSE, 0, 0);
  else if (command != "wait")
    return 2;
  std::fflush(stdout);
  return 0;
}
