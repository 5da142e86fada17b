// A real report of this process: named worker threads parked in known functions, paused
// by a handling thread of the test that composes the report while the main thread waits.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash/report/compose_report_win.h"
#include "crash/report/disassembly_section_win.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_pause_win.h"
#include "trace/x86/x86_listing.h"

// Functions the workers are parked in; noipa keeps each a function of its own and the
// arithmetic after each call keeps the calls from becoming jumps.
namespace report_test {

volatile int sink = 0;
HANDLE release = nullptr;

__attribute__((noipa)) void ParkedInAlpha() {
  sink = sink + static_cast<int>(WaitForSingleObject(release, INFINITE));
}
__attribute__((noipa)) void ParkedInBeta() {
  sink = sink + static_cast<int>(WaitForSingleObject(release, INFINITE));
}
__attribute__((noipa)) void ParkedInGamma() {
  sink = sink + static_cast<int>(WaitForSingleObject(release, INFINITE));
}

// Where the test says the beta worker was created.
__attribute__((noipa)) int CreationSite(int value) {
  return value + 1 + sink;
}

DWORD WINAPI AlphaStart(void*) {
  ParkedInAlpha();
  return static_cast<DWORD>(sink);
}
DWORD WINAPI BetaStart(void*) {
  ParkedInBeta();
  return static_cast<DWORD>(sink);
}
DWORD WINAPI GammaStart(void*) {
  ParkedInGamma();
  return static_cast<DWORD>(sink);
}

}  // namespace report_test

namespace {

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

template <class Fn>
uint32_t CodeAddress(Fn* function) {
  return Address(reinterpret_cast<const void*>(function));
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "$%x", static_cast<unsigned>(value));
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (;;) {
    const size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return lines;
    at = end + 2;
  }
}

// What the handling thread composes with.
struct Composition {
  crash::ActiveSettings settings;
  crash::ComposeRequest request;
  std::string report;
};

DWORD WINAPI Compose(void* argument) {
  auto* composition = static_cast<Composition*>(argument);
  composition->request.handling_thread_id = GetCurrentThreadId();
  crash::PauseOtherThreads(true);
  composition->report = crash::ComposeBugReport(composition->settings, composition->request);
  crash::ResumeOtherThreads(true);
  return 0;
}

class ComposeReportWin : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(crash::StartSharedInstanceBlock(), crash::SharedBlockStart::kCreated);
    report_test::release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  static void TearDownTestSuite() { crash::StopSharedInstanceBlock(); }

  void SetUp() override {
    ResetEvent(report_test::release);
    alpha_ = Start(report_test::AlphaStart, "alpha", 0);
    beta_ = Start(report_test::BetaStart, "beta", CodeAddress(&report_test::CreationSite));
    gamma_ = Start(report_test::GammaStart, "gamma", 0);
    hidden_ = Start(report_test::GammaStart, "-", 0);
    Sleep(100);  // into their waits
  }
  void TearDown() override {
    SetEvent(report_test::release);
    for (HANDLE thread : handles_) {
      WaitForSingleObject(thread, 5000);
      CloseHandle(thread);
    }
  }

  // Starts a parked worker with a registry entry of its name and creation facts.
  uint32_t Start(LPTHREAD_START_ROUTINE start, const char* name, uint32_t creation_address) {
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, start, nullptr, 0, &id);
    EXPECT_NE(thread, nullptr);
    handles_.push_back(thread);
    crash::RegisterCreatedThread(id, thread, GetCurrentThreadId(), creation_address, "");
    crash::SetThreadName(id, name);
    return id;
  }

  // Composes on a handling thread while this one waits.
  std::string ComposeFromHandlingThread(Composition& composition) {
    const HANDLE handler = CreateThread(nullptr, 0, Compose, &composition, 0, nullptr);
    EXPECT_NE(handler, nullptr);
    EXPECT_EQ(WaitForSingleObject(handler, 60000), WAIT_OBJECT_0);
    CloseHandle(handler);
    std::printf("%s\n", composition.report.c_str());  // the whole report, for the log
    return composition.report;
  }

  uint32_t alpha_ = 0, beta_ = 0, gamma_ = 0, hidden_ = 0;
  std::vector<HANDLE> handles_;
};

TEST_F(ComposeReportWin, AReportOfThisProcessWithItsThreadsModulesAndDisassembly) {
  const crash::ReportedException fault{{"EAccessViolation", "EExternal", "Exception"},
                                       "Access violation at address 00401000!"};
  Composition composition;
  composition.settings.DisasmProducer = crash::DisassembleCrashFunction;
  composition.request.exception = &fault;
  // The exception is said to be raised where alpha waits.
  composition.request.address = CodeAddress(&report_test::ParkedInAlpha);
  composition.request.thread_id = alpha_;
  const std::string report = ComposeFromHandlingThread(composition);
  ASSERT_FALSE(report.empty());
  EXPECT_FALSE(report.ends_with("\r\n"));
  EXPECT_EQ(report.find("An exception occurred"), std::string::npos);
  const std::vector<std::string> lines = Lines(report);

  // The header's labels in their order (those this system gives), then the exception.
  const std::vector<std::string> labels = {
      "date/time         : ", "computer name     : ", "user name         : ",
      "operating system  : ", "system language   : ", "system up time    : ",
      "physical memory   : ", "free disk space   : ", "process id        : ",
      "executable        : ", "exec. date/time   : ", "kestrapon version : ",
      "exception class   : ", "exception message : "};
  size_t line = 0;
  for (const std::string& label : labels) {
    while (line < lines.size() && !lines[line].starts_with(label))
      ++line;
    ASSERT_LT(line, lines.size()) << "no \"" << label << "\" line in its place";
  }
  EXPECT_EQ(lines[line - 1], "exception class   : EAccessViolation");
  EXPECT_EQ(lines[line], "exception message : Access violation at address 00401000.");
  EXPECT_NE(report.find("process id        : " + Hex(GetCurrentProcessId()) + "\r\n"),
            std::string::npos);

  // One section per thread, the crashed one first, the hidden one and the handling thread
  // left out; each worker's stack names the function it waits in.
  const size_t alpha = report.find("\r\n\r\nalpha (" + Hex(alpha_) + "):\r\n");
  const size_t main = report.find("\r\n\r\nmain thread (" + Hex(GetCurrentThreadId()) + "):\r\n");
  const size_t beta = report.find("\r\n\r\nbeta (" + Hex(beta_) + "):\r\n");
  const size_t gamma = report.find("\r\n\r\ngamma (" + Hex(gamma_) + "):\r\n");
  const size_t modules = report.find("\r\n\r\nmodules:\r\n");
  ASSERT_NE(alpha, std::string::npos);
  ASSERT_NE(main, std::string::npos);
  ASSERT_NE(beta, std::string::npos);
  ASSERT_NE(gamma, std::string::npos);
  ASSERT_NE(modules, std::string::npos);
  EXPECT_LT(alpha, main);
  EXPECT_LT(main, std::min(beta, gamma));
  EXPECT_LT(std::max(beta, gamma), modules);
  EXPECT_EQ(report.find(Hex(hidden_) + "):"), std::string::npos);
  EXPECT_EQ(report.find("thread " + Hex(hidden_)), std::string::npos);
  const std::string alpha_section = report.substr(alpha, main - alpha);
  const std::string beta_section = report.substr(beta, (beta < gamma ? gamma : modules) - beta);
  const std::string gamma_section = report.substr(gamma, (gamma < beta ? beta : modules) - gamma);
  const std::vector<std::string> alpha_lines = Lines(alpha_section.substr(4));
  ASSERT_GE(alpha_lines.size(), 3u);
  EXPECT_TRUE(alpha_lines[1].ends_with(" report_test::ParkedInAlpha")) << alpha_lines[1];
  EXPECT_NE(alpha_section.find("report_test::AlphaStart"), std::string::npos);
  EXPECT_NE(beta_section.find("report_test::ParkedInBeta"), std::string::npos);
  EXPECT_NE(gamma_section.find("report_test::ParkedInGamma"), std::string::npos);

  // The creation point of beta is its section's last line, the creator's line above it.
  const std::vector<std::string> beta_lines = Lines(beta_section.substr(4));
  ASSERT_GE(beta_lines.size(), 3u);
  EXPECT_EQ(beta_lines[beta_lines.size() - 2],
            ">> created by main thread (" + Hex(GetCurrentThreadId()) + ") at:");
  EXPECT_NE(beta_lines.back().find("report_test::CreationSite"), std::string::npos)
      << beta_lines.back();
  EXPECT_EQ(gamma_section.find(">> created by"), std::string::npos);

  // Modules in ascending address order, this program and kernel32.dll among them, the
  // directory column aligned.
  const size_t listing = report.find("\r\n\r\ndisassembling:\r\n");
  ASSERT_NE(listing, std::string::npos);
  const std::vector<std::string> module_lines =
      Lines(report.substr(modules + 14, listing - modules - 14));
  ASSERT_GE(module_lines.size(), 3u);
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  const std::string program_name =
      std::string(program, length).substr(std::string(program, length).rfind('\\') + 1);
  bool has_program = false;
  bool has_kernel32 = false;
  const size_t directory_column = module_lines[0].find(":\\") - 1;
  std::string previous_base;
  for (const std::string& module : module_lines) {
    ASSERT_GT(module.size(), 9u);
    EXPECT_EQ(module[8], ' ') << module;
    EXPECT_GT(module.substr(0, 8), previous_base) << module;
    previous_base = module.substr(0, 8);
    has_program = has_program || module.substr(9).starts_with(program_name + " ");
    has_kernel32 = has_kernel32 || _strnicmp(module.c_str() + 9, "kernel32.dll ", 13) == 0;
    EXPECT_EQ(module.find(":\\") - 1, directory_column) << module;
    EXPECT_EQ(module[directory_column - 1], ' ') << module;
  }
  EXPECT_TRUE(has_program);
  EXPECT_TRUE(has_kernel32);

  // The listing of the function around the exception address, its line marked.
  const std::string disassembly = report.substr(listing + 20);
  EXPECT_TRUE(disassembly.starts_with(alpha_lines[1].substr(0, 8))) << disassembly;
  EXPECT_NE(disassembly.find(trace::kExceptionMark), std::string::npos) << disassembly;
}

TEST_F(ComposeReportWin, FrozenReportWithoutModulesOrAllThreads) {
  Composition composition;
  composition.settings.ListAllThreads = false;
  composition.settings.ListModules = false;
  composition.request.frozen = true;
  composition.request.thread_id = GetCurrentThreadId();
  const std::string report = ComposeFromHandlingThread(composition);
  const std::string frozen = "exception message : " + std::string(composition.settings.FrozenText) +
                             "\r\n\r\nmain thread (" + Hex(GetCurrentThreadId()) + "):\r\n";
  EXPECT_NE(report.find("kestrapon version : 2.6a\r\n" + frozen), std::string::npos);
  EXPECT_EQ(report.find("exception class"), std::string::npos);
  EXPECT_EQ(report.find("alpha ("), std::string::npos);
  EXPECT_EQ(report.find("modules:"), std::string::npos);
  EXPECT_FALSE(report.ends_with("\r\n"));
  // The main thread waits for the handling thread inside this test.
  EXPECT_NE(report.find("ComposeFromHandlingThread"), std::string::npos);
}

}  // namespace
