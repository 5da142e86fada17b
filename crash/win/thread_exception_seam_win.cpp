#include "crash/win/thread_exception_seam_win.h"

#include <windows.h>

#include <atomic>

#include "framework/exception.h"

namespace crash {

namespace {

std::atomic<ThreadExceptionReporter> g_reporter{nullptr};

uint32_t AddressOf(const std::exception_ptr& exception) {
  try {
    std::rethrow_exception(exception);
  } catch (const fw::EExternal& external) {
    return external.Address();
  } catch (...) {
  }
  return 0;
}

}  // namespace

ThreadExceptionReporter SetThreadExceptionReporter(ThreadExceptionReporter reporter) {
  return g_reporter.exchange(reporter);
}

void ReportEscapedThreadException(uint32_t stack_frame) noexcept {
  try {
    ThreadException report;
    report.exception = std::current_exception();
    report.address = AddressOf(report.exception);
    report.stack_frame = stack_frame;
    report.can_continue = true;
    report.thread_id = GetCurrentThreadId();
    if (const ThreadExceptionReporter reporter = g_reporter.load()) reporter(report);
  } catch (...) {
    // The reporter never lets an exception out into the thread it reports for.
  }
}

}  // namespace crash
