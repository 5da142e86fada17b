// The box test program's settings: a save button, the report saved to a file named in full
// (so that no dialog asks for a name); mail only through a server on a closed port of this
// machine, so that mailing fails at once and says so.
#include "crash/crash_reporter.h"

constinit const crash::CrashSettings crash::kProgramCrashSettings{
    .SendDirectSmtp = false,
    .SendViaSmtpServer = true,
    .SendViaMapi = false,
    .SendViaMailto = false,
    .SmtpServer = "127.0.0.1",
    .SmtpPort = 9,
    .BugReportFile = "C:\\box_save_test.txt",
    .SaveCaption = "save bug report"};
