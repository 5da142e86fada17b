// The composition of the whole bug report over the seam of what the system answers: the
// order of its parts, which threads get a section and in which order, the progress areas,
// and the closing line of a composition that failed. The Windows side answers from the
// running process; tests answer from a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "crash/crash_settings.h"
#include "crash/report/compose_report_win.h"
#include "crash/report/report_header.h"
#include "crash/report/report_sections.h"
#include "trace/stack/progress.h"

namespace crash {

// A thread's registers and stack as its context gave them.
struct ThreadContextFacts {
  uint32_t stack_pointer = 0;        // ESP
  uint32_t stack_top = 0;            // the end of the memory region that holds ESP
  uint32_t instruction_pointer = 0;  // EIP
  bool calling_thread = false;       // the composing thread itself, traced where it stands
};

// The arguments of one stack trace of a thread section.
struct StackTraceCall {
  bool hide_items_without_lines = false;  // StackTraceOptionA
  bool relative_addresses = false;        // StackTraceOptionB
  uint32_t current_address = 0;           // the exception address or the thread's EIP
  bool exception_thread = false;          // the thread the exception was raised in
  bool external_exception = false;        // the exception is an EExternal
  uint32_t stack_begin = 0;               // ESP, or the given stack frame start
  uint32_t stack_end = 0;                 // the stack's top
  uint32_t thread_start = 0;              // the creation address, or 0
  bool calling_thread = false;            // the composing thread: its own stack from here
  // The stack as kept when the exception was raised (the exception thread only): its
  // bytes from stack_copy_base up stand in for the live stack's.
  uint32_t stack_copy_base = 0;
  std::span<const uint8_t> stack_copy;
};

// What a stack trace gave.
struct StackTraceAnswer {
  std::string text;                // the trace's lines, empty when nothing could be traced
  uint32_t exception_address = 0;  // the corrected exception address, 0 when none
  uint32_t function_entry = 0;     // the entry of the function that holds it, 0 when none
};

// What the composition asks of the system.
class ReportSystem {
 public:
  virtual ~ReportSystem() = default;
  // The facts of the header.
  virtual HeaderFacts Header() = 0;
  // The id of the process's main thread.
  virtual uint32_t MainThreadId() = 0;
  // The ids of the process's threads in the system's order.
  virtual std::vector<uint32_t> Threads() = 0;
  // The registry's entry of a thread, waiting a bounded time for its lock.
  virtual ThreadLookup LookUpThread(uint32_t thread_id) = 0;
  // The context of a (suspended) thread; none when it can't be read.
  virtual std::optional<ThreadContextFacts> ThreadContext(uint32_t thread_id) = 0;
  // Traces one thread's stack.
  virtual StackTraceAnswer TraceStack(const StackTraceCall& call, trace::TProgress* progress) = 0;
  // The loaded modules in ascending address order.
  virtual std::vector<ModuleRecord> Modules() = 0;
  // The clock and window of the progress.
  virtual trace::ProgressSystem Progress() = 0;
};

// The report of one exception (or frozen application) as ComposeBugReport describes it.
// Never throws.
std::string ComposeReport(const ActiveSettings& settings, const ComposeRequest& request,
                          ReportSystem& system);

}  // namespace crash
