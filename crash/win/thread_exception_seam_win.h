// Where the thread wrappers hand an exception that escaped a thread's body: a routine that
// the reporter's core sets at start-up. Until then such exceptions are only ended there.
#pragma once

#include <cstdint>
#include <exception>

namespace crash {

// An exception that escaped a thread's start routine or a thread object's body.
struct ThreadException {
  std::exception_ptr exception;  // the exception object
  uint32_t address = 0;          // where it was raised (EExternal's address), or 0
  uint32_t stack_frame = 0;      // the wrapper's frame: the trace of the thread starts there
  bool can_continue = true;      // always true: the application goes on without the thread
  uint32_t thread_id = 0;        // the thread it escaped on
};

// The routine called with it, on the thread itself, inside the wrapper's catch block.
using ThreadExceptionReporter = void (*)(const ThreadException& report);

// Sets the routine (null: none). The previous one is returned.
ThreadExceptionReporter SetThreadExceptionReporter(ThreadExceptionReporter reporter);

// Hands the exception being caught to the routine; called inside a catch block. Whatever
// the routine throws is swallowed.
void ReportEscapedThreadException(uint32_t stack_frame) noexcept;

}  // namespace crash
