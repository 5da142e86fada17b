// The box test program's settings: .AnimatedButtons = false.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.AnimatedButtons = false};
