// The settings of a program that names none of its own: the defaults throughout.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{};
