// The fidelity probe: tells whether the system it runs on delivers faults, memory reads and
// thread contexts to a 32-bit program as Windows does. Each line runs in a process of its
// own, so that a fault the system loses ends only that line. Prints one line per check:
//   pass NAME: what Windows gives
//   fail NAME: what differed
// and exits 0 when every line passed, 1 otherwise.
//   fidelity_probe            runs every line
//   fidelity_probe LINE...    runs the named lines
//   fidelity_probe --in-process LINE   runs one line in this process (used by the above)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/fidelity/probe_lines_win.h"

namespace {

constexpr DWORD kLineTimeoutMs = 30000;

std::string ExecutablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
}

// Runs the line in a child process; gives empty when it held, else what differed or why
// the child gave no answer.
std::string RunInChild(const fidelity::ProbeLine& line) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return "no pipe for the child";
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  std::string command = "\"" + ExecutablePath() + "\" --in-process " + line.name;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &child);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return "the child process did not start";
  }
  std::string output;
  char buffer[512];
  DWORD got = 0;
  // The pipe ends when the child does; a child that hangs is ended after the time-out.
  const DWORD begin = GetTickCount();
  bool timed_out = false;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available > 0) {
      if (!ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
      output.append(buffer, got);
      continue;
    }
    if (GetTickCount() - begin > kLineTimeoutMs) {
      timed_out = true;
      TerminateProcess(child.hProcess, 1);
      break;
    }
    WaitForSingleObject(child.hProcess, 10);
  }
  WaitForSingleObject(child.hProcess, 5000);
  DWORD exit_code = 0;
  GetExitCodeProcess(child.hProcess, &exit_code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  CloseHandle(read_end);
  if (timed_out) return "no answer within " + std::to_string(kLineTimeoutMs / 1000) + " s";
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
    output.pop_back();
  if (output == "ok" && exit_code == 0) return {};
  if (output.rfind("differs: ", 0) == 0) return output.substr(9);
  char code[16];
  std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(exit_code));
  return std::string("the child ended with code ") + code +
         (output.empty() ? " and no answer" : " after printing: " + output);
}

int RunInProcess(const std::string& name) {
  const fidelity::ProbeLine* line = fidelity::FindProbeLine(name);
  if (line == nullptr) {
    std::printf("differs: no probe line named %s\n", name.c_str());
    return 2;
  }
  const std::string report = line->run();
  std::printf(report.empty() ? "ok\n" : "differs: %s\n", report.c_str());
  std::fflush(stdout);
  return report.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--in-process") return RunInProcess(argv[2]);
  std::vector<const fidelity::ProbeLine*> lines;
  for (int i = 1; i < argc; ++i) {
    const fidelity::ProbeLine* line = fidelity::FindProbeLine(argv[i]);
    if (line == nullptr) {
      std::fprintf(stderr, "fidelity_probe: no probe line named %s\n", argv[i]);
      return 2;
    }
    lines.push_back(line);
  }
  if (lines.empty()) {
    for (const fidelity::ProbeLine& line : fidelity::ProbeLines())
      lines.push_back(&line);
  }
  bool all = true;
  for (const fidelity::ProbeLine* line : lines) {
    const std::string report = RunInChild(*line);
    all = all && report.empty();
    std::printf("%s %s: %s\n", report.empty() ? "pass" : "fail", line->name,
                report.empty() ? line->what : report.c_str());
    std::fflush(stdout);
  }
  return all ? 0 : 1;
}
