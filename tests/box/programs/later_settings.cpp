// The box test program's settings: .RestartCaption = "restart", .ShowDetailsInitially = false.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.RestartCaption = "restart",
                                                                  .ShowDetailsInitially = false};
