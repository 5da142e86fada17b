#include "crash/delivery/report_actions_win.h"

namespace crash {

MailResult MailAction(const std::string&, HWND, bool) {
  return MailResult::Failed;
}
bool SaveAction(const std::string&, HWND, bool) {
  return false;
}
void PrintAction(const std::string&, HWND) {}

}  // namespace crash
