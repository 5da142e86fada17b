// The actions with the running reporter's settings. Kept apart from the actions
// themselves, so that a program that gives its own settings (the sendreport tool, tests)
// links no reporter.
#include "crash/delivery/report_actions_win.h"

#include "crash/crash_reporter.h"

namespace crash {

MailResult MailAction(const std::string& report, HWND owner, bool silent) {
  return MailAction(ReporterSettings(), report, owner, silent);
}

bool SaveAction(const std::string& report, HWND owner, bool silent) {
  return SaveAction(ReporterSettings(), report, owner, silent);
}

void PrintAction(const std::string& report, HWND owner) {
  PrintAction(ReporterSettings(), report, owner);
}

}  // namespace crash
