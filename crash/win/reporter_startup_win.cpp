// The reporter's life in a program: started before any other static object of the program
// is built (so before the program's own code), stopped after the last one is gone.
#include "crash/crash_reporter.h"

namespace {

struct ReporterLifetime {
  ReporterLifetime() { crash::StartCrashReporter(crash::kProgramCrashSettings); }
  ~ReporterLifetime() { crash::StopCrashReporter(); }
  ReporterLifetime(const ReporterLifetime&) = delete;
  ReporterLifetime& operator=(const ReporterLifetime&) = delete;
};

// After the reporter's own state (priority 101), before every other static object.
ReporterLifetime g_reporter_lifetime __attribute__((init_priority(102)));

}  // namespace
