// No report for two classes, named with blanks and in other cases.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{
    .NoReportClasses = " eintoverflow , EDivByZero "};
