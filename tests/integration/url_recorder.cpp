// Stands in for the browser in the link tests: the test registers it as the
// handler of web addresses, and it appends the address it was given (its
// first argument) and CR LF to url_recorder.log beside itself.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string log(path, length < sizeof path ? length : 0);
  log = log.substr(0, log.find_last_of('\\') + 1) + "url_recorder.log";
  FILE* file = std::fopen(log.c_str(), "ab");
  if (!file) return 1;
  std::fprintf(file, "%s\r\n", argc > 1 ? argv[1] : "");
  std::fclose(file);
  return 0;
}
