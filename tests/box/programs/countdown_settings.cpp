// The box test program's settings: .AutoContinue = true, .AutoDelay = 2.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.AutoContinue = true,
                                                                  .AutoDelay = 2};
