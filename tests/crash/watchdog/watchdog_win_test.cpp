// The anti-freeze watchdog in a console program whose main thread stops taking messages:
// the frozen reports arrive on its standard output, timed here as they arrive.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/program_run_win.h"

namespace {

const char kFrozenLine[] = "exception message : The application seems to be unable to respond.";

// The program's output with the arrival time of every piece.
struct TimedOutput {
  struct Piece {
    DWORD at = 0;    // milliseconds since the program was started
    size_t end = 0;  // the text's length after the piece
  };
  std::string text;
  std::vector<Piece> pieces;
  DWORD exit_code = 0;

  // When the text up to the given end had arrived.
  DWORD ArrivalOf(size_t end) const {
    for (const Piece& piece : pieces) {
      if (piece.end >= end) return piece.at;
    }
    return pieces.empty() ? 0 : pieces.back().at;
  }
  // The arrival times of every occurrence of the part.
  std::vector<DWORD> Arrivals(const std::string& part) const {
    std::vector<DWORD> times;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
      times.push_back(ArrivalOf(at + part.size()));
    }
    return times;
  }
};

TimedOutput RunTimed(const std::string& program, const std::string& arguments) {
  HANDLE read = nullptr;
  const DWORD start = GetTickCount();
  PROCESS_INFORMATION process = test_support::Start(program, arguments, &read);
  TimedOutput output;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(read, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    for (DWORD i = 0; i < count; ++i) {
      if (buffer[i] != '\r') output.text += buffer[i];
    }
    output.pieces.push_back({GetTickCount() - start, output.text.size()});
  }
  CloseHandle(read);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    ADD_FAILURE() << "the program did not end";
  }
  GetExitCodeProcess(process.hProcess, &output.exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return output;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Without a timeout there is no watchdog thread and no message window; with one, the
// watchdog is a registered thread named "-" beside the handling thread, and the main
// thread has the window its questions go to.
TEST(Watchdog, RunsOnlyWithATimeout) {
  const test_support::ProgramRun off = test_support::RunProgram("watchdog_off_probe", "threads");
  EXPECT_EQ(Count(off.output, "thread -\n"), 1) << off.output;
  EXPECT_NE(off.output.find("message windows 0\n"), std::string::npos) << off.output;
  const test_support::ProgramRun on = test_support::RunProgram("watchdog_probe", "threads");
  EXPECT_EQ(Count(on.output, "thread -\n"), 2) << on.output;
  EXPECT_NE(on.output.find("message windows 1\n"), std::string::npos) << on.output;
}

// Two silences of about 7.5 periods of 400 ms with answers between them: the count starts
// again after each answer, so nothing is reported.
TEST(Watchdog, SilencesShorterThanTenPeriodsAreNoFreeze) {
  const TimedOutput run = RunTimed("watchdog_probe", "freeze 3000 pump 800 freeze 3000 pump 800");
  EXPECT_EQ(Count(run.text, kFrozenLine), 0) << run.text;
  EXPECT_NE(run.text.find("done\n"), std::string::npos) << run.text;
  EXPECT_EQ(run.exit_code, 0u);
}

// A silence of 13 seconds: the first frozen report after ten periods of 400 ms, the next
// after ten periods of 600 ms (the one after would need ten of 900 ms, beyond the silence).
// The report shows the main thread where it is stuck, and the program goes on afterwards.
TEST(Watchdog, AFreezeIsReportedWithAGrowingPeriod) {
  const TimedOutput run = RunTimed("watchdog_probe", "freeze 13000 pump 1000");
  const std::vector<DWORD> reports = run.Arrivals(kFrozenLine);
  ASSERT_EQ(reports.size(), 2u) << run.text;
  const std::vector<DWORD> freeze = run.Arrivals("freeze\n");
  ASSERT_EQ(freeze.size(), 1u) << run.text;
  const DWORD first = reports[0] - freeze[0];
  const DWORD second = reports[1] - reports[0];
  EXPECT_GE(first, 3900u);
  EXPECT_LT(first, 5900u);
  EXPECT_GE(second, 5900u);
  EXPECT_LT(second, 8900u);
  const size_t report = run.text.find(kFrozenLine);
  const size_t main_thread = run.text.find("\nmain thread (", report);
  ASSERT_NE(main_thread, std::string::npos) << run.text;
  const size_t section_end = run.text.find("\n\n", main_thread + 1);
  EXPECT_NE(run.text.substr(main_thread, section_end - main_thread).find("StuckInFreeze"),
            std::string::npos)
      << run.text;
  EXPECT_NE(run.text.find("done\n"), std::string::npos) << run.text;
  EXPECT_EQ(run.exit_code, 0u);
}

}  // namespace
