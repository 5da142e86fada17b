// The box test program's settings: a save button, the report saved to a file named in full
// (so that no dialog asks for a name).
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{
    .BugReportFile = "C:\\box_save_test.txt", .SaveCaption = "save bug report"};
