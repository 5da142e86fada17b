// The interception points of the program's runtime: every path on which an exception or
// a runtime error would end the program or reach a system default ends in
// ReportException instead.
//   - the process's unhandled-exception filter (processor faults and system exceptions of
//     every thread outside the framework's guarded code);
//   - the framework's application exception handler and its display (an exception that
//     escaped an event handler);
//   - the thread wrappers' seam (an exception escaping a thread's start routine or a
//     thread object's body);
//   - std::terminate (an uncaught C++ exception, one leaving a noexcept function or a
//     std::thread body, an allocation failure nobody handles), abort, a pure virtual call
//     and the C runtime's invalid-parameter handler, reported as runtime errors that
//     can't continue.
#pragma once

#include <windows.h>

#include <cstdint>

#include "crash/reported_exception.h"

namespace crash {

// Installs every interception point.
void InstallInterception();
// Puts the previous handlers back.
void RemoveInterception();

// The description of a system exception: the framework class of its code and the
// runtime's message (for an access violation with the module of the faulting address).
ReportedException DescribeSystemException(const EXCEPTION_RECORD& record);

// The id of the thread that started the reporter (the program's main thread).
uint32_t MainThreadId();

}  // namespace crash
