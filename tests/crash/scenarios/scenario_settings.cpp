// The scenarios' settings: the defaults, with the version line taken from a variable.
#include "crash/crash_reporter.h"

#include "tests/crash/scenarios/version_page.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{.VersionVariable =
                                                                      &g_version_page.text};
