// The box test program's settings: .ContinueCaption = "", .CloseCaption = "".
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.ContinueCaption = "",
                                                                  .CloseCaption = ""};
