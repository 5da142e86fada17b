// The crash scenarios: each program run is one crash, checked against the parts of its
// expected report on standard output (the reporter's console showing).
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include "tests/support/program_run_win.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using test_support::ProgramPath;
using test_support::ProgramRun;
using test_support::ReadAll;
using test_support::Start;

ProgramRun RunScenario(const std::string& program, const std::string& arguments,
                       DWORD limit_ms = 0) {
  return test_support::RunProgram(program, arguments, limit_ms);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// The report's first thread section (the crashed thread's): from its title to the next
// empty line.
std::string CrashedSection(const std::string& output) {
  const size_t exception = output.find("exception class   : ");
  if (exception == std::string::npos) return {};
  const size_t start = output.find("\n\n", exception);
  if (start == std::string::npos) return {};
  const size_t end = output.find("\n\n", start + 2);
  return output.substr(start + 2, end == std::string::npos ? std::string::npos : end - start - 2);
}

// The functions appear in the section in this order, each on a stack line with a line
// number.
void ExpectFramesInOrder(const std::string& section, const std::vector<std::string>& functions) {
  size_t at = 0;
  for (const std::string& function : functions) {
    const size_t found = section.find(function, at);
    ASSERT_NE(found, std::string::npos) << function << " missing or out of order in\n" << section;
    const size_t line_start = section.rfind('\n', found) + 1;
    const std::string line = section.substr(line_start, section.find('\n', found) - line_start);
    EXPECT_TRUE(std::regex_search(line, std::regex("crash_scenario_win +[0-9]+ ")))
        << "no unit and line in: " << line;
    at = found + function.size();
  }
}

struct Expected {
  const char* scenario;
  const char* class_name;
  std::string message;   // regular expression of the message line's text
  const char* function;  // the crashing function
};

const char kAddress[] = "\\$[0-9a-f]+";

// What every full report holds besides the exception: the header, the waiting worker
// with its creation point, the modules and the disassembly.
void ExpectReportFrame(const ProgramRun& run, const std::string& program) {
  const std::string& out = run.output;
  for (const char* label : {"date/time         : ", "computer name     : ", "user name         : ",
                            "operating system  : ", "process id        : ", "executable        : ",
                            "exec. date/time   : ", "version           : scenario version 1",
                            "kestrapon version : 2.6a"}) {
    EXPECT_TRUE(Contains(out, std::string("\n") + label)) << label << "\n" << out;
  }
  EXPECT_TRUE(std::regex_search(out, std::regex("\nwaiting worker \\(\\$[0-9a-f]+\\):\n"))) << out;
  EXPECT_TRUE(std::regex_search(
      out, std::regex("\n>> created by main thread \\(\\$[0-9a-f]+\\) at:\n[^\n]*main")))
      << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\nmodules:\n[0-9a-f]{8} ")));
  EXPECT_TRUE(std::regex_search(out, std::regex("\n[0-9a-f]{8} " + program + "\\.exe +"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex("\n[0-9a-f]{8} kernel32\\.dll +")));
  EXPECT_TRUE(Contains(out, "\n\ndisassembling:\n")) << out;
  EXPECT_TRUE(Contains(out, std::string(1, static_cast<char>(0xBB)))) << out;
}

void ExpectException(const ProgramRun& run, const Expected& expected) {
  const std::string& out = run.output;
  EXPECT_TRUE(Contains(out, std::string("\nexception class   : ") + expected.class_name + "\n"))
      << expected.scenario << "\n"
      << out;
  const std::string& message = expected.message;
  if (!message.empty()) {
    EXPECT_TRUE(std::regex_search(out, std::regex("\nexception message : " + message + "\n")))
        << expected.scenario << ": message " << message << "\n"
        << out;
  }
}

class MainThreadCrash : public testing::TestWithParam<const char*> {};

// Faults of the main thread: reported as not continuable, the process ends with the
// exception's code, the main thread's section comes first with the crash three calls deep.
TEST_P(MainThreadCrash, ProcessorFaults) {
  const std::string program = GetParam();
  const std::string av = std::string("Access violation at address ") + kAddress + " in module '" +
                         program + "\\.exe'\\. ";
  const Expected cases[] = {
      {"read_null", "EAccessViolation", av + "Read of address \\$0\\.", "CrashReadNull"},
      {"write_null", "EAccessViolation", av + "Write of address \\$0\\.", "CrashWriteNull"},
      {"read_far", "EAccessViolation", av + "Read of address \\$6ffe0ff0\\.", "CrashReadFar"},
      {"write_read_only", "EAccessViolation", av + "Write of address \\$[0-9a-f]+\\.",
       "CrashWriteReadOnly"},
      {"divide", "EDivByZero", "Division by zero\\.", "CrashDivide"},
      {"illegal", "EExternalException", "External exception C000001D\\.", "CrashIllegal"},
      {"privileged", "EPrivilege", "Privileged instruction\\.", "CrashPrivileged"},
      {"breakpoint", "EExternalException", "External exception 80000003\\.", "CrashBreakpoint"},
      {"stack_overflow", "EStackOverflow", "Stack overflow\\.", "Recurse"},
  };
  for (const Expected& expected : cases) {
    SCOPED_TRACE(expected.scenario);
    const ProgramRun run = RunScenario(program, expected.scenario);
    ExpectException(run, expected);
    EXPECT_FALSE(Contains(run.output, "\ncontinued\n"));
    EXPECT_NE(run.exit_code, 0u);
    const std::string section = CrashedSection(run.output);
    EXPECT_TRUE(std::regex_search(section, std::regex("^main thread \\(\\$[0-9a-f]+\\):\n")))
        << section;
    if (std::string(expected.function) == "Recurse" ||
        std::string(expected.function) == "CrashIllegal") {
      // The stack of the overflow is thousands of Recurse frames deep; and the decoder
      // leaves UD2 undefined, so the analysis of its function stops there and the frames
      // above it are not linked (frame pointers find main, not the two between).
      EXPECT_TRUE(Contains(section, expected.function)) << section;
    } else {
      // main calls the scenario through a pointer: only frame pointers take the trace there.
      std::vector<std::string> frames = {expected.function, "ThreeDeep", "RunCrash"};
      if (program == "crash_scenario_fp") frames.push_back("main");
      ExpectFramesInOrder(section, frames);
    }
    ExpectReportFrame(run, program);
  }
}

INSTANTIATE_TEST_SUITE_P(FramePointers, MainThreadCrash,
                         testing::Values("crash_scenario", "crash_scenario_fp"));

// Faults on other threads: continuable, only that thread ends, its section comes first
// with its creation point, and the main thread's follows.
TEST(ThreadCrash, FaultsOnCreatedStdAndFrameworkThreads) {
  const Expected cases[] = {
      {"thread_read_null", "EAccessViolation",
       "Access violation at address .*Read of address \\$0\\.", "CrashReadNull"},
      {"thread_write_null", "EAccessViolation", ".*Write of address \\$0\\.", "CrashWriteNull"},
      {"thread_divide", "EDivByZero", "Division by zero\\.", "CrashDivide"},
      {"thread_illegal", "EExternalException", "External exception C000001D\\.", "CrashIllegal"},
      {"thread_privileged", "EPrivilege", "Privileged instruction\\.", "CrashPrivileged"},
      {"thread_breakpoint", "EExternalException", "External exception 80000003\\.",
       "CrashBreakpoint"},
      {"thread_stack_overflow", "EStackOverflow", "Stack overflow\\.", "Recurse"},
      {"stdthread_read_null", "EAccessViolation", ".*Read of address \\$0\\.", "CrashReadNull"},
      {"stdthread_divide", "EDivByZero", "Division by zero\\.", "CrashDivide"},
      {"fwthread_read_null", "EAccessViolation", ".*Read of address \\$0\\.", "CrashReadNull"},
      {"fwthread_divide", "EDivByZero", "Division by zero\\.", "CrashDivide"},
  };
  for (const Expected& expected : cases) {
    SCOPED_TRACE(expected.scenario);
    const ProgramRun run = RunScenario("crash_scenario", expected.scenario);
    ExpectException(run, expected);
    EXPECT_TRUE(Contains(run.output, "\ncontinued\n")) << run.output;
    EXPECT_EQ(run.exit_code, 0u);
    const std::string section = CrashedSection(run.output);
    EXPECT_TRUE(std::regex_search(section, std::regex("^thread \\$[0-9a-f]+( \\([^)]*\\))?:\n")))
        << section;
    if (std::string(expected.function) != "Recurse" &&
        std::string(expected.function) != "CrashIllegal") {
      ExpectFramesInOrder(section, {expected.function, "ThreeDeep", "RunCrash"});
    }
    EXPECT_TRUE(Contains(section, "\n>> created by main thread ($")) << section;
    EXPECT_TRUE(std::regex_search(run.output, std::regex("\n\nmain thread \\(\\$[0-9a-f]+\\):\n")));
    ExpectReportFrame(run, "crash_scenario");
  }
}

// A fault in our callback called by the C runtime's qsort: the trace passes through it.
TEST(ThreadCrash, FaultInsideSystemCallback) {
  const ProgramRun run = RunScenario("crash_scenario", "system_callback");
  ExpectException(run, {"", "EAccessViolation", ".*Read of address \\$0\\.", ""});
  ExpectFramesInOrder(CrashedSection(run.output),
                      {"FaultingCompare", "CrashInSystemCallback", "ThreeDeep", "RunCrash"});
  EXPECT_TRUE(Contains(CrashedSection(run.output), "msvcrt.dll")) << run.output;
}

// C++ exceptions with their own (demangled) classes and what() as the message.
TEST(CppException, EscapingHandlersThreadsAndMain) {
  struct Case {
    Expected expected;
    bool continues;
  };
  const Case cases[] = {
      {{"handler_std", "std::length_error", "the list is longer than allowed\\.", ""}, true},
      {{"handler_own", "\\(anonymous namespace\\)::ScenarioError", "", ""}, true},
      {{"handler_framework", "EReadError", "the description could not be read\\.", ""}, true},
      {{"handler_read_null", "EAccessViolation", ".*Read of address \\$0\\.", ""}, true},
      {{"thread_std", "std::length_error", "the list is longer than allowed\\.", ""}, true},
      {{"fwthread_own", "", "the scenario's own error\\.", ""}, true},
      {{"stdthread_std", "std::length_error", "the list is longer than allowed\\.", ""}, false},
      {{"main_std", "std::length_error", "the list is longer than allowed\\.", ""}, false},
      {{"main_own", "", "the scenario's own error\\.", ""}, false},
      {{"main_framework", "EReadError", "the description could not be read\\.", ""}, false},
      {{"noexcept", "std::logic_error", "thrown where nothing may be thrown\\.", ""}, false},
      {{"terminate", "KivException", "terminate called without an active exception\\.", ""}, false},
      {{"abort", "KivException", "Abnormal program termination\\.", ""}, false},
      {{"pure_virtual", "KivException", "Pure virtual function call\\.", ""}, false},
      // what() is the class name: no message line.
      {{"allocation", "std::bad_alloc", "", ""}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.scenario);
    const ProgramRun run = RunScenario("crash_scenario", c.expected.scenario);
    const std::string class_name = c.expected.class_name;
    if (class_name.find('\\') != std::string::npos) {
      EXPECT_TRUE(
          std::regex_search(run.output, std::regex("\nexception class   : " + class_name + "\n")))
          << run.output;
    } else if (!class_name.empty()) {
      ExpectException(run, c.expected);
    }
    if (!c.expected.message.empty()) {
      EXPECT_TRUE(std::regex_search(
          run.output, std::regex("\nexception message : " + c.expected.message + "\n")))
          << run.output;
    }
    EXPECT_EQ(Contains(run.output, "\ncontinued\n"), c.continues) << run.output;
    if (!c.continues) {
      EXPECT_EQ(run.exit_code, 3u);
    }
    ExpectReportFrame(run, "crash_scenario");
  }
}

// EAbort: nothing shown, the program goes on.
TEST(Flow, AbortIsSilent) {
  const ProgramRun run = RunScenario("crash_scenario", "handler_abort");
  EXPECT_FALSE(Contains(run.output, "exception class")) << run.output;
  EXPECT_FALSE(Contains(run.output, "silent")) << run.output;
  EXPECT_TRUE(Contains(run.output, "\ncontinued\n")) << run.output;
}

// A thread named by the debugger convention is reported under its name.
TEST(Flow, AnnouncedThreadName) {
  const ProgramRun run = RunScenario("crash_scenario", "announced_thread");
  EXPECT_TRUE(std::regex_search(CrashedSection(run.output),
                                std::regex("^announced worker \\(\\$[0-9a-f]+\\):\n")))
      << run.output;
}

// A listed class shows its message but gets no report.
TEST(Flow, NoReportClasses) {
  const ProgramRun run = RunScenario("crash_scenario_no_report", "thread_divide");
  EXPECT_TRUE(Contains(run.output, "\nDivision by zero\n")) << run.output;
  EXPECT_FALSE(Contains(run.output, "date/time")) << run.output;
  EXPECT_TRUE(Contains(run.output, "\ncontinued\n")) << run.output;
  const ProgramRun other = RunScenario("crash_scenario_no_report", "thread_read_null");
  EXPECT_TRUE(Contains(other.output, "exception class   : EAccessViolation")) << other.output;
}

// A fault inside the composition ends the report with the composition's failure line.
TEST(Flow, FaultDuringComposition) {
  const ProgramRun run = RunScenario("crash_scenario", "composition_fault");
  EXPECT_TRUE(Contains(run.output, "\n\nAn exception occurred during composing the bug report."))
      << run.output;
}

// Eight threads faulting at once: eight reports, one after another, none lost, none
// deadlocked (the first report pauses the others in the middle of their faults).
TEST(Flow, EightThreadsAtOnce) {
  const ProgramRun run = RunScenario("crash_scenario", "eight_at_once", 30000);
  EXPECT_FALSE(run.timed_out) << "stalled\n" << run.output;
  EXPECT_EQ(Count(run.output, "\nexception class   : EAccessViolation\n"), 8) << run.output;
  EXPECT_EQ(Count(run.output, "\ndate/time         : "), 8);
  EXPECT_TRUE(Contains(run.output, "\ncontinued\n"));
  EXPECT_EQ(run.exit_code, 0u);
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string plain;
  for (char c : text.str()) {
    if (c != '\r') plain += c;
  }
  return plain;
}

// The automatic restart rule: nine exceptions within five seconds go on, the tenth
// restarts the program, whose new instance has the history of all ten.
TEST(Flow, RestartOnTenthException) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  const std::string nine = std::string(folder) + "crash_repeat_9.txt";
  const std::string ten = std::string(folder) + "crash_repeat_10.txt";
  DeleteFileA(nine.c_str());
  DeleteFileA(ten.c_str());
  ProgramRun run = RunScenario("crash_scenario_restart", "repeated 9 \"" + nine + "\"");
  EXPECT_EQ(ReadFileText(nine), "history 0\ncontinued\n");
  run = RunScenario("crash_scenario_restart", "repeated 10 \"" + ten + "\"");
  EXPECT_EQ(run.exit_code, 0u);
  std::string text;
  for (int i = 0; i < 100 && (text = ReadFileText(ten)) != "history 0\nhistory 10\n"; ++i) {
    Sleep(100);
  }
  EXPECT_EQ(text, "history 0\nhistory 10\n");
}

// The automatic close rule ends the program at the first exception.
TEST(Flow, CloseAtOnce) {
  const ProgramRun run = RunScenario("crash_scenario_close", "thread_divide");
  EXPECT_FALSE(Contains(run.output, "continued")) << run.output;
  EXPECT_EQ(run.exit_code, 0u);
}

// Runs the program's exported kivTraceProcess on a thread started from here and returns
// what it left on the clipboard.
std::string TraceFromOutside(const std::string& program, HANDLE process) {
  HMODULE image =
      LoadLibraryExA(ProgramPath(program).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  EXPECT_NE(image, nullptr);
  if (!image) return {};
  const auto export_address = reinterpret_cast<uintptr_t>(
      reinterpret_cast<void*>(GetProcAddress(image, "kivTraceProcess")));
  EXPECT_NE(export_address, 0u);
  HMODULE remote = nullptr;
  DWORD needed = 0;
  EXPECT_TRUE(EnumProcessModules(process, &remote, sizeof remote, &needed));
  const uintptr_t start =
      export_address - reinterpret_cast<uintptr_t>(image) + reinterpret_cast<uintptr_t>(remote);
  HANDLE thread = CreateRemoteThread(
      process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start), nullptr, 0, nullptr);
  EXPECT_NE(thread, nullptr);
  if (!thread) return {};
  EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  DWORD result = 1;
  GetExitCodeThread(thread, &result);
  EXPECT_EQ(result, 0u);
  CloseHandle(thread);
  std::string report;
  if (OpenClipboard(nullptr)) {
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
      if (const char* text = static_cast<const char*>(GlobalLock(data))) {
        report = text;
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
  }
  return report;
}

// kivTraceProcess started from outside puts the whole process's report on the clipboard.
TEST(TraceProcess, StartedFromAnotherProcess) {
  HANDLE read = nullptr;
  PROCESS_INFORMATION process = Start("crash_scenario", "wait_for_trace", &read);
  char buffer[256];
  DWORD count = 0;
  std::string seen;
  while (seen.find("waiting") == std::string::npos &&
         ReadFile(read, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    seen.append(buffer, count);
  }
  const std::string report = TraceFromOutside("crash_scenario", process.hProcess);
  TerminateProcess(process.hProcess, 0);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(read);
  EXPECT_TRUE(
      Contains(report, "\r\nexception message : The application seems to be unable to respond."))
      << report;
  EXPECT_FALSE(Contains(report, "exception class"));
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\n\r\nmain thread \\(\\$[0-9a-f]+\\):\r\n")))
      << report;
  EXPECT_TRUE(Contains(report, "waiting worker ($")) << report;
}

// The installer carries the reporter from its start: traced from outside while its
// welcome window waits.
TEST(TraceProcess, InstallerCarriesTheReporter) {
  HANDLE read = nullptr;
  PROCESS_INFORMATION process = Start("install", "", &read);
  WaitForInputIdle(process.hProcess, 10000);
  Sleep(500);
  const std::string report = TraceFromOutside("install", process.hProcess);
  TerminateProcess(process.hProcess, 0);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(read);
  EXPECT_TRUE(Contains(report, "\r\nexecutable        : install.exe\r\n")) << report;
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\n\r\nmain thread \\(\\$[0-9a-f]+\\):\r\n")))
      << report;
  EXPECT_TRUE(std::regex_search(report, std::regex("\r\n00400000 install\\.exe +"))) << report;
}

}  // namespace
