// No box: the tenth exception within five seconds restarts the program.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.ShowExceptionBox = false,
                                                                  .AutoRestart = 5};
