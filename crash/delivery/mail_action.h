// The mail action's order of the ways of delivery, over a seam: SMTP to the recipient's
// mail exchanger, SMTP through the configured server, MAPI, a mailto link; the messages
// shown and the attachment deleted after a sent mail.
#pragma once

#include <string>
#include <string_view>

#include "crash/crash_settings.h"
#include "crash/delivery/mail_send.h"

namespace crash {

enum class MailResult : int { Failed = 0, Sent = 1, Cancelled = 2 };

// What the mail action does to the system; the Windows side and a test fake implement it.
class MailWays {
 public:
  virtual ~MailWays() = default;
  // The online check: whether the system has a connection.
  virtual bool Online() = 0;
  // One mail over SMTP.
  virtual bool SendSmtp(const MailSend& mail) = 0;
  // The mail through the system's MAPI.
  virtual MailResult SendMapi(const std::string& to, const std::string& subject,
                              const std::string& body, const std::string& attachment,
                              bool silent) = 0;
  // The mail as a mailto link to the registered mail program.
  virtual bool SendMailto(const std::string& to, const std::string& subject,
                          const std::string& body) = 0;
  // Takes the owner window out of the topmost band, when there is an owner.
  virtual void LeaveTopmost() = 0;
  // A message box of the owner: information, or an error.
  virtual void ShowMessage(std::string_view text, std::string_view title, bool error) = 0;
  // Whether the file exists.
  virtual bool FileExists(const std::string& path) = 0;
  // Clears the file's attributes and deletes it; false when it stays. (Not DeleteFile:
  // windows.h makes that name DeleteFileA.)
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The sender: MailFrom when set, else "kestrapon " and the angle form of MailAddress,
// else empty.
std::string MailSender(const CrashSettings& settings);

// The mail action. attachment: the bug report file's full name, used only when
// AttachBugReportFile is set and the file exists.
MailResult RunMailAction(const ActiveSettings& settings, const std::string& report,
                         const std::string& attachment, bool silent, MailWays& ways);

}  // namespace crash
