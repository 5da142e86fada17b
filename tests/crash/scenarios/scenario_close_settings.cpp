// No box: every exception closes the program at once.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.ShowExceptionBox = false,
                                                                  .AutoClose = 1};
