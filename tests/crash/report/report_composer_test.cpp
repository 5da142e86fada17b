#include "crash/report/report_composer.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "framework/exception.h"

namespace crash {
namespace {

constexpr uint32_t kMain = 0x10;
constexpr uint32_t kCrashed = 0x20;

// A process of threads with names, contexts and traces chosen by the test.
class FakeSystem : public ReportSystem {
 public:
  struct Thread {
    std::string name;
    bool readable = true;
    uint32_t creation_address = 0;
    uint32_t creator = 0;
  };
  std::vector<uint32_t> order{kMain, 0x30, kCrashed, 0x40};
  std::map<uint32_t, Thread> threads{
      {kMain, {"main thread"}}, {0x30, {"worker"}}, {kCrashed, {"crasher"}}, {0x40, {"other"}}};
  bool throw_in_modules = false;
  uint32_t corrected_address = 0;
  uint32_t function_entry = 0;
  std::vector<StackTraceCall> calls;
  std::vector<int> areas_at_trace;  // the progress's current area at each trace
  size_t area_count = 0;
  std::map<uint32_t, int> context_reads;

  HeaderFacts Header() override {
    HeaderFacts facts;
    facts.now = {2026, 12, 9, 8, 30};
    facts.windows_directory = "C:\\WINDOWS";
    facts.executable_path = "C:\\install.exe";
    facts.module_path = facts.executable_path;
    return facts;
  }
  uint32_t MainThreadId() override { return kMain; }
  std::vector<uint32_t> Threads() override { return order; }
  ThreadLookup LookUpThread(uint32_t id) override {
    ThreadLookup lookup;
    lookup.registry_available = true;
    const auto found = threads.find(id);
    if (found != threads.end()) {
      const Thread& t = found->second;
      lookup.entry = RegisteredThread{id, t.name, "", t.creation_address, t.creator, true};
    }
    return lookup;
  }
  std::optional<ThreadContextFacts> ThreadContext(uint32_t id) override {
    ++context_reads[id];
    const auto found = threads.find(id);
    if (found == threads.end() || !found->second.readable) return std::nullopt;
    return ThreadContextFacts{0x1000 * id, 0x1000 * id + 0x800, 0x400000 + id, false};
  }
  StackTraceAnswer TraceStack(const StackTraceCall& call, trace::TProgress* progress) override {
    calls.push_back(call);
    areas_at_trace.push_back(progress->current_area);
    area_count = progress->areas.size();
    StackTraceAnswer answer;
    answer.text = "inner " + std::to_string(call.stack_begin / 0x1000) + "\r\nouter";
    if (call.exception_thread) {
      answer.exception_address = corrected_address;
      answer.function_entry = function_entry;
    }
    return answer;
  }
  std::vector<ModuleRecord> Modules() override {
    if (throw_in_modules) throw fw::EAccessViolation("in the walk", 0xC0000005, 0x77001234);
    return {{0x400000, "install.exe", "", "C:"}};
  }
  trace::ProgressSystem Progress() override { return {}; }
};

// The report after its header.
std::string AfterHeader(const std::string& report) {
  const std::string last = "kestrapon version : 2.6a\r\n";
  const size_t at = report.find(last);
  EXPECT_NE(at, std::string::npos);
  return at == std::string::npos ? report : report.substr(at + last.size());
}

ActiveSettings Settings() {
  ActiveSettings settings;
  settings.ListModules = false;
  return settings;
}

TEST(ComposeReport, CrashedThreadFirstThenMainThenTheOthersInOrder) {
  FakeSystem system;
  system.threads[0x40].name = "-";  // hidden when not the crashed thread
  system.order.push_back(0x50);     // the handling thread: no section
  system.threads[0x50] = {"handler"};
  const ReportedException fault{{"EDivByZero", "EIntError", "EExternal", "Exception"},
                                "Division by zero"};
  ComposeRequest request;
  request.exception = &fault;
  request.address = 0x401111;
  request.thread_id = kCrashed;
  request.handling_thread_id = 0x50;
  EXPECT_EQ(AfterHeader(ComposeReport(Settings(), request, system)),
            "exception class   : EDivByZero\r\n"
            "exception message : Division by zero.\r\n\r\n"
            "crasher ($20):\r\ninner 32\r\nouter\r\n\r\n"
            "main thread ($10):\r\ninner 16\r\nouter\r\n\r\n"
            "worker ($30):\r\ninner 48\r\nouter");
  ASSERT_EQ(system.calls.size(), 3u);
  EXPECT_TRUE(system.calls[0].exception_thread);
  EXPECT_TRUE(system.calls[0].external_exception);
  EXPECT_EQ(system.calls[0].current_address, 0x401111u);
  EXPECT_FALSE(system.calls[1].exception_thread);
  EXPECT_EQ(system.calls[1].current_address, 0x400000u + kMain);  // its EIP
  EXPECT_EQ(system.calls[1].stack_end, 0x1000u * kMain + 0x800);
  // One area per readable thread; each traced section moves to the next area, the
  // skipped hidden and handling threads too.
  EXPECT_EQ(system.area_count, 5u);
  EXPECT_EQ(system.areas_at_trace, (std::vector<int>{0, 1, 2}));
  // Weights and traces use one reading of each context.
  for (const auto& [id, reads] : system.context_reads)
    EXPECT_EQ(reads, 1) << id;
}

TEST(ComposeReport, TheCrashedThreadIsShownEvenWhenHidden) {
  FakeSystem system;
  system.threads[kCrashed].name = "-";
  system.threads[kCrashed].readable = false;
  ComposeRequest request;
  request.address = 0x401111;
  request.thread_id = kCrashed;
  ActiveSettings settings = Settings();
  settings.ListAllThreads = false;
  EXPECT_EQ(AfterHeader(ComposeReport(settings, request, system)),
            "exception class   : Unknown\r\n\r\n"
            "thread $20:\r\n- ??? ($401111)\r\n\r\n\r\n"
            "main thread ($10):\r\ninner 16\r\nouter");
}

TEST(ComposeReport, FrozenReportHasTheFrozenTextAndTheMainThread) {
  FakeSystem system;
  ComposeRequest request;
  request.frozen = true;
  request.thread_id = kMain;
  ActiveSettings settings = Settings();
  settings.ListAllThreads = false;
  settings.FrozenText = "The application seems to be unable to respond.";
  EXPECT_EQ(AfterHeader(ComposeReport(settings, request, system)),
            "exception message : The application seems to be unable to respond.\r\n\r\n"
            "main thread ($10):\r\ninner 16\r\nouter");
}

TEST(ComposeReport, StackFrameCreationLineModulesAndDisassembly) {
  FakeSystem system;
  system.threads[kCrashed].creation_address = 0x401500;
  system.threads[kCrashed].creator = kMain;
  system.corrected_address = 0x401113;
  system.function_entry = 0x401100;
  static std::string produced;
  ActiveSettings settings = Settings();
  settings.ListAllThreads = false;
  settings.ListModules = true;
  settings.DisasmLines = 7;
  settings.DisasmProducer = [](uint32_t start, uint32_t address, int lines, bool) {
    produced = std::to_string(start) + " " + std::to_string(address) + " " + std::to_string(lines);
    return std::string("listing");
  };
  ComposeRequest request;
  request.address = 0x401111;
  request.thread_id = kCrashed;
  request.stack_frame = 0x7000;
  const std::string tail = AfterHeader(ComposeReport(settings, request, system));
  EXPECT_EQ(tail,
            "exception class   : Unknown\r\n\r\n"
            "crasher ($20):\r\ninner 7\r\n>> created by main thread ($10) at:\r\nouter\r\n\r\n"
            "main thread ($10):\r\ninner 16\r\nouter\r\n\r\n"
            "modules:\r\n00400000 install.exe  C:\r\n\r\n"
            "disassembling:\r\nlisting");
  EXPECT_EQ(system.calls[0].thread_start, 0x401500u);
  EXPECT_FALSE(system.calls[0].external_exception);
  // The producer gets the function found by the crashed thread's trace and the corrected
  // address.
  EXPECT_EQ(produced, std::to_string(0x401100) + " " + std::to_string(0x401113) + " 7");

  // A trace that finds nothing leaves the caller's address for the listing.
  system.corrected_address = 0;
  system.function_entry = 0;
  ComposeReport(settings, request, system);
  EXPECT_EQ(produced, std::to_string(0x401111) + " " + std::to_string(0x401111) + " 7");

  // Without a producer nothing follows the modules.
  settings.DisasmProducer = nullptr;
  EXPECT_TRUE(ComposeReport(settings, request, system).ends_with("C:"));
}

TEST(ComposeReport, AFailureClosesWhatWasComposedWithTheFaultsAddress) {
  FakeSystem system;
  system.throw_in_modules = true;
  ActiveSettings settings = Settings();
  settings.ListModules = true;
  settings.ListAllThreads = false;
  ComposeRequest request;
  request.frozen = true;
  EXPECT_TRUE(ComposeReport(settings, request, system)
                  .ends_with("main thread ($10):\r\ninner 16\r\nouter\r\n\r\n"
                             "An exception occurred during composing the bug report. $77001234"));

  // A failure before header and exception part were joined leaves only the closing line.
  class ThrowingHeader : public FakeSystem {
    HeaderFacts Header() override { throw std::runtime_error("no facts"); }
  } failing;
  EXPECT_EQ(ComposeReport(settings, request, failing),
            "\r\n\r\nAn exception occurred during composing the bug report.");
}

}  // namespace
}  // namespace crash
