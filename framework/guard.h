// The boundary of every callback the system enters: whatever escapes the
// callback's work, a C++ exception or a processor fault turned into one, is
// handed to the application's exception handler and never unwinds into
// system code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/object.h"

namespace fw {

// Marks the current thread as running guarded framework code: while one
// exists, an access violation, integer division by zero or integer overflow
// in our own module's code is raised at the fault point as EAccessViolation,
// EDivByZero or EIntOverflow. Nestable.
class ExternalExceptionScope {
 public:
  ExternalExceptionScope();
  ~ExternalExceptionScope();
  ExternalExceptionScope(const ExternalExceptionScope&) = delete;
  ExternalExceptionScope& operator=(const ExternalExceptionScope&) = delete;
};

// The last fault raised as an exception on the calling thread: where it was, the stack
// position at the faulting instruction, and a copy of the stack from there up (at most
// kFaultStackCopyLimit bytes), taken before the exception unwound anything. A report made
// after the catch traces the copy: the live stack has been reused by then.
struct RaisedFault {
  std::uint32_t address = 0;
  std::uint32_t stack_pointer = 0;
  std::vector<std::uint8_t> stack;
};
inline constexpr std::uint32_t kFaultStackCopyLimit = 256 * 1024;
// The calling thread's last raised fault (address 0: none).
const RaisedFault& LastRaisedFault();

// True while the thread is between a fault raised as an exception and the end of the
// scope the exception leaves: in the system's exception dispatch, the throw or the
// unwinding. A thread there is not one to suspend.
bool IsRaisingFault(std::uint32_t thread_id);

// The file name (without folder) of the module whose committed memory holds address
// (the module an access violation's message names), or empty.
std::string ModuleFileNameAt(std::uint32_t address);

// Installs the process-wide vectored handler that turns faults inside an
// ExternalExceptionScope into C++ exceptions; idempotent.
void InstallExternalExceptionHandler();

// Called inside a catch block: hands the exception being handled to the
// application's exception handler (as an Exception object; other C++
// exceptions are wrapped). Never throws.
void HandleCurrentException(TObject* sender) noexcept;

// Runs work for sender; true when it ended normally, false when it threw
// (the exception went to the application's handler).
template <class Work>
bool CallGuarded(TObject* sender, Work&& work) noexcept {
  ExternalExceptionScope scope;
  try {
    work();
    return true;
  } catch (...) {
    HandleCurrentException(sender);
    return false;
  }
}

}  // namespace fw
