// The box test program's settings: a watchdog with a period of 200 ms.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.AntiFreezeTimeout = 2000};
