// The crash reporter of a Win32 program: started before the program's own code, it takes
// every unhandled exception of every thread and every runtime error to one handling
// thread, which pauses the other threads, composes the bug report and shows it (or takes
// the automatic steps), then lets the program go on, restarts or closes it.
//
// A program gets it through the CMake function crash_reporter(<target> [SETTINGS <file>])
// (cmake/CrashReporter.cmake); its settings file defines kProgramCrashSettings.
#pragma once

#include <cstdint>
#include <string>

#include "crash/crash_settings.h"
#include "crash/exception_history.h"
#include "crash/reported_exception.h"

namespace crash {

// The program's build-time settings; a program's settings file defines it, e.g.
//   constinit const crash::CrashSettings crash::kProgramCrashSettings{.AutoRestart = 5};
extern const CrashSettings kProgramCrashSettings;

// Starts the reporter with the settings; the first call acts, later ones only count.
void StartCrashReporter(const CrashSettings& settings);
// Stops it again; only the call that balances the first start acts.
void StopCrashReporter();
// True between the acting start and stop.
bool CrashReporterActive();

// The one entry of every interception point: hands the exception to the handling thread
// and returns when it was handled (never, when the handling ends the process). frozen: a
// frozen main thread, no exception; address: where it was raised, or 0; stack_frame: where
// the trace of the calling thread starts, or 0; can_continue: the program may go on.
void ReportException(bool frozen, const ReportedException* exception, uint32_t address,
                     uint32_t stack_frame, bool can_continue) noexcept;

// The settings the running reporter works with.
const ActiveSettings& ReporterSettings();
// The times of the last exceptions (taken over from the previous instance after a restart).
const ExceptionHistory& ReporterHistory();

// What is shown of one handled exception.
struct ShownReport {
  bool frozen = false;
  bool can_continue = false;
  std::string message;  // ExceptionText (FrozenText) with %exceptMsg% replaced
  std::string report;   // the bug report; empty for a class that gets none
  const ReportedException* exception = nullptr;  // as reported, or none
  uint32_t address = 0;                          // where it was raised, or 0
};

// Stands in for the exception box (crash/box/exception_box_win.h), which a window program
// shows otherwise: shows the report and carries out the user's choice.
using ExceptionBoxFn = void (*)(const ShownReport& shown);
void SetExceptionBox(ExceptionBoxFn box);

// The report of the whole process as for a frozen application, composed on the calling
// thread (named "-" meanwhile) with the other threads paused.
std::string ComposeProcessReport();

}  // namespace crash

// Puts the report of the whole process on the clipboard; returns 0. Exported by name from
// the executable so that a thread started in the process from outside can run it.
extern "C" __declspec(dllexport) unsigned long __stdcall kivTraceProcess(void* ignored);
