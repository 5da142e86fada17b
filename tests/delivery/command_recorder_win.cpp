// Stands in for a mail program in the mailto tests: the test registers it as the mailto
// handler, and it writes the whole command line it was started with to
// command_recorder.log beside itself (replacing what was there).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string log(path, length < sizeof path ? length : 0);
  log = log.substr(0, log.find_last_of('\\') + 1) + "command_recorder.log";
  const std::string temporary = log + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return 1;
  const char* line = GetCommandLineA();
  std::fwrite(line, 1, std::strlen(line), file);
  std::fclose(file);
  // Whole or not at all: the test waits for the log to appear.
  return MoveFileExA(temporary.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
