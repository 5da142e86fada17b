// windriver.exe: a command-line hand on our windows, for scripts.
//   windriver wait CAPTION [SECONDS]          waits for the window, prints its client size
//   windriver close CAPTION [SECONDS]         waits for the window, then closes it
//   windriver press CAPTION BUTTON [SECONDS]  waits for the window, presses the button
//   windriver key CAPTION ENTER|ESCAPE|TAB [SECONDS]
//                                             waits for the window, presses the key
// Exit code 0 on success, 1 when the window (or button) did not appear, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/integration/window_driver.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: windriver wait|close CAPTION [SECONDS]\n"
               "       windriver press CAPTION BUTTON [SECONDS]\n"
               "       windriver key CAPTION ENTER|ESCAPE|TAB [SECONDS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const bool has_operand = command == "press" || command == "key";
  if (has_operand && argc < 4) return Usage();
  const int seconds_arg = has_operand ? 4 : 3;
  const DWORD seconds = argc > seconds_arg ? std::strtoul(argv[seconds_arg], nullptr, 10) : 60;
  HWND window = driver::WaitForTopLevelWindow(argv[2], 0, seconds * 1000);
  if (!window) {
    std::printf("no window \"%s\" within %lu s\n", argv[2], static_cast<unsigned long>(seconds));
    return 1;
  }
  const SIZE size = driver::ClientSize(window);
  std::printf("window \"%s\" client %ldx%ld\n", argv[2], size.cx, size.cy);
  if (command == "close") {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else if (command == "press") {
    HWND button = driver::FindChildWindow(window, argv[3]);
    if (!button) {
      std::printf("no button \"%s\"\n", argv[3]);
      return 1;
    }
    driver::PressButton(button);
  } else if (command == "key") {
    const std::string key = argv[3];
    const WORD code = key == "ENTER"    ? VK_RETURN
                      : key == "ESCAPE" ? VK_ESCAPE
                      : key == "TAB"    ? VK_TAB
                                        : 0;
    if (!code) return Usage();
    driver::PressKey(window, code);
  } else if (command != "wait") {
    return Usage();
  }
  std::fflush(stdout);
  return 0;
}
