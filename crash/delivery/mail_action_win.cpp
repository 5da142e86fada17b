// The mail action on Windows: the seam of mail_action.h over SMTP, MAPI, mailto, message
// boxes and files.
#include <string>

#include "crash/delivery/bug_report_file.h"
#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mailto_send_win.h"
#include "crash/delivery/mapi_send_win.h"
#include "crash/delivery/online_check_win.h"
#include "crash/delivery/program_folders_win.h"
#include "crash/delivery/report_actions_win.h"
#include "crash/delivery/smtp_send_win.h"

namespace crash {

namespace {

class SystemMailWays final : public MailWays {
 public:
  explicit SystemMailWays(HWND owner) : owner_(owner) {}

  bool Online() override { return OnlineCheck(); }
  bool SendSmtp(const MailSend& mail) override { return SendMail(mail); }
  MailResult SendMapi(const std::string& to, const std::string& subject, const std::string& body,
                      const std::string& attachment, bool silent) override {
    return MapiSend(to, subject, body, attachment, owner_, silent);
  }
  bool SendMailto(const std::string& to, const std::string& subject,
                  const std::string& body) override {
    return MailtoSend(to, subject, body);
  }
  void LeaveTopmost() override {
    if (owner_) SetWindowPos(owner_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  void ShowMessage(std::string_view text, std::string_view title, bool error) override {
    MessageBoxA(owner_, std::string(text).c_str(), std::string(title).c_str(),
                error ? MB_ICONERROR : MB_ICONINFORMATION);
  }
  bool FileExists(const std::string& path) override {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool RemoveFile(const std::string& path) override {
    SetFileAttributesA(path.c_str(), 0);
    if (DeleteFileA(path.c_str())) return true;
    DeliveryLog("mail: DeleteFileA failed with error " + std::to_string(GetLastError()));
    return false;
  }

 private:
  HWND owner_;
};

}  // namespace

MailResult MailAction(const ActiveSettings& settings, const std::string& report, HWND owner,
                      bool silent) {
  const std::string attachment =
      InFolder(BugReportFileName(settings.BugReportFile, ExecutablePath()), ReporterModuleFolder());
  SystemMailWays ways(owner);
  return RunMailAction(settings, report, attachment, silent, ways);
}

}  // namespace crash
