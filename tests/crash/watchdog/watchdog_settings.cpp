// The watchdog program's settings: a watchdog period of 400 ms, so a freeze is reported
// after 4 seconds of silence.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.AntiFreezeTimeout = 4000};
