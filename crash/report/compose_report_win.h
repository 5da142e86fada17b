// The bug report of one exception or of a frozen application: header, exception lines, a
// section per thread traced by the stack tracer, modules and the disassembly around the
// crash. Runs on the handling thread while the other threads are paused, and never waits
// for them.
#pragma once

#include <cstdint>
#include <string>

#include "crash/crash_settings.h"
#include "crash/reported_exception.h"

namespace crash {

// What one composition describes.
struct ComposeRequest {
  bool frozen = false;                           // a frozen main thread or a whole-process trace
  const ReportedException* exception = nullptr;  // the exception, or none
  uint32_t address = 0;                          // where it was raised, or 0
  uint32_t thread_id = 0;                        // the thread it was raised in
  uint32_t stack_frame = 0;                      // where that thread's trace starts, or 0
  uint32_t handling_thread_id = 0;               // the handling thread: no section
  uint32_t watchdog_thread_id = 0;               // the watchdog's thread: no section
};

// The report text (8-bit, CR LF, no line break at its end). Never throws: a failure
// inside is told at the end of what was composed so far.
std::string ComposeBugReport(const ActiveSettings& settings, const ComposeRequest& request);

}  // namespace crash
