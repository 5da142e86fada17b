// A child without a window for the launcher tests: sleeps, then writes a
// marker file, then ends. Usage: launcher_helper <milliseconds> [marker-path]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  char* end = nullptr;
  const unsigned long ms = std::strtoul(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0' || ms > 600000) return 2;
  Sleep(static_cast<DWORD>(ms));
  if (argc >= 3) {
    std::FILE* marker = std::fopen(argv[2], "wb");
    if (marker == nullptr) return 3;
    std::fputs("done", marker);
    std::fclose(marker);
  }
  return 0;
}
