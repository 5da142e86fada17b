// One instance of a restart chain, run in a test's working folder. It takes over the
// previous instance's history, appends one line about itself to restart_log.txt, pushes
// its own time stamp and, while restart_plan.txt asks for more instances, restarts.
// Its arguments are never read: every instance must get the same command line.
//
// Log line: pid= prev= (the previous line's pid) prev_alive= (1 when that process still
// ran after the wait) prev_exit= (its exit code, -1 unknown) await_ms= after= (file time
// when the wait ended) block_left= (1 when the block could still be opened after it) rule5= (the
// automatic rule for 5 seconds over the history taken) pushed= (this instance's stamp, file time
// units so that stamps differ) history= (the ten entries taken, newest first) cmd= (the command
// line in hex).
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "crash/restart_block.h"
#include "crash/win/restart_win.h"

namespace {

constexpr char kLog[] = "restart_log.txt";
constexpr char kPlan[] = "restart_plan.txt";

uint64_t FileTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

// The pid of the log's last line, 0 without one.
DWORD LastLoggedPid() {
  std::ifstream log(kLog);
  std::string line, last;
  while (std::getline(log, line))
    if (!line.empty()) last = line;
  DWORD pid = 0;
  std::sscanf(last.c_str(), "pid=%lu", &pid);
  return pid;
}

int ReadPlan() {
  std::ifstream plan(kPlan);
  int remaining = 0;
  plan >> remaining;
  return remaining;
}

}  // namespace

int main() {
  const DWORD prev = LastLoggedPid();
  HANDLE prev_process =
      prev == 0 ? nullptr : OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, prev);

  const DWORD start = GetTickCount();
  crash::ExceptionHistory history = crash::AwaitPreviousInstance();
  const DWORD await_ms = GetTickCount() - start;
  const uint64_t after = FileTimeNow();
  // The old instance's duplicate is closed, so nothing but the old instance keeps the block.
  const std::string name = crash::RestartBlockName(GetCurrentProcessId());
  const HANDLE left = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  if (left != nullptr) CloseHandle(left);

  int prev_alive = 0;
  long prev_exit = -1;
  if (prev_process == nullptr && prev != 0)
    prev_process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, prev);
  if (prev_process != nullptr) {
    prev_alive = WaitForSingleObject(prev_process, 0) == WAIT_TIMEOUT;
    DWORD code = 0;
    if (!prev_alive && GetExitCodeProcess(prev_process, &code)) prev_exit = static_cast<long>(code);
    CloseHandle(prev_process);
  }

  const uint64_t now = FileTimeNow();
  crash::ExceptionHistory in_seconds;
  for (int i = 0; i < crash::kHistoryEntries; ++i)
    in_seconds.seconds[i] = history.seconds[i] / 10000000;
  const bool rule5 = in_seconds.RuleHolds(5, now / 10000000);

  std::ostringstream line;
  line << "pid=" << GetCurrentProcessId() << " prev=" << prev << " prev_alive=" << prev_alive
       << " prev_exit=" << prev_exit << " await_ms=" << await_ms << " after=" << after
       << " block_left=" << (left != nullptr) << " rule5=" << rule5 << " pushed=" << now
       << " history=";
  for (int i = 0; i < crash::kHistoryEntries; ++i)
    line << (i ? "," : "") << history.seconds[i];
  line << " cmd=";
  static const char kDigits[] = "0123456789abcdef";
  for (const char* c = GetCommandLineA(); *c; ++c) {
    const unsigned char byte = static_cast<unsigned char>(*c);
    line << kDigits[byte >> 4] << kDigits[byte & 15];
  }
  line << "\n";
  if (FILE* log = std::fopen(kLog, "ab")) {
    std::fputs(line.str().c_str(), log);
    std::fclose(log);
  }

  history.Push(now);
  const int remaining = ReadPlan();
  if (remaining > 0) {
    if (FILE* plan = std::fopen(kPlan, "wb")) {
      std::fprintf(plan, "%d\n", remaining - 1);
      std::fclose(plan);
    }
    crash::StartNewInstance(history);
  }
  return 0;
}
