// The example's settings: its own recipient, the rest as they come.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.MailAddress =
                                                                      "crashes@example.org"};
