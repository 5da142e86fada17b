#include "crash/delivery/mail_action.h"

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mail_text.h"

namespace crash {

std::string MailSender(const CrashSettings& settings) {
  if (!settings.MailFrom.empty()) return std::string(settings.MailFrom);
  if (!settings.MailAddress.empty()) return "kestrapon " + MailAngleForm(settings.MailAddress);
  return {};
}

MailResult RunMailAction(const ActiveSettings& settings, const std::string& report,
                         const std::string& attachment, bool silent, MailWays& ways) {
  MailSend mail;
  mail.from = MailSender(settings);
  mail.to = std::string(settings.MailAddress);
  mail.subject = std::string(settings.MailSubject);
  mail.body = report;
  mail.root_servers = settings.RootNameServers;
  if (settings.AttachBugReportFile) {
    if (ways.FileExists(attachment)) {
      mail.attachment = attachment;
      DeliveryLog("mail: attaching " + attachment);
    } else {
      DeliveryLog("mail: no file to attach at " + attachment);
    }
  }

  bool smtp_sent = false;
  const bool has_address = !mail.to.empty();
  if (has_address && settings.SendDirectSmtp) {
    if (ways.Online()) {
      DeliveryLog("mail: direct SMTP to the recipient's mail exchanger");
      smtp_sent = ways.SendSmtp(mail);
      DeliveryLog(smtp_sent ? "mail: direct SMTP sent" : "mail: direct SMTP failed");
    } else {
      DeliveryLog("mail: offline, no direct SMTP");
    }
  }
  if (!smtp_sent && has_address && settings.SendViaSmtpServer && !settings.SmtpServer.empty()) {
    if (ways.Online()) {
      MailSend via_server = mail;
      via_server.server = std::string(settings.SmtpServer);
      via_server.account = std::string(settings.SmtpAccount);
      via_server.password = settings.TransformedPassword;
      via_server.port = settings.SmtpPort;
      DeliveryLog("mail: SMTP through " + via_server.server);
      smtp_sent = ways.SendSmtp(via_server);
      DeliveryLog(smtp_sent ? "mail: SMTP server sent" : "mail: SMTP server failed");
    } else {
      DeliveryLog("mail: offline, no SMTP through the server");
    }
  }

  MailResult result = smtp_sent ? MailResult::Sent : MailResult::Failed;
  if (!smtp_sent && settings.SendViaMapi) {
    result = ways.SendMapi(mail.to, mail.subject, report, mail.attachment, silent);
    DeliveryLog(result == MailResult::Sent        ? "mail: MAPI sent"
                : result == MailResult::Cancelled ? "mail: MAPI cancelled by the user"
                                                  : "mail: MAPI failed");
  }
  bool attachment_used = !mail.attachment.empty();
  if (result == MailResult::Failed && settings.SendViaMailto && !silent) {
    attachment_used = false;
    ways.LeaveTopmost();
    result = ways.SendMailto(mail.to, mail.subject, report) ? MailResult::Sent : MailResult::Failed;
    DeliveryLog(result == MailResult::Sent ? "mail: mailto link handed to the mail program"
                                           : "mail: mailto failed");
  }

  if (!silent) {
    if (smtp_sent) {
      ways.ShowMessage(settings.MailSuccessText, settings.MailCaption, false);
    } else if (result == MailResult::Failed) {
      ways.ShowMessage(settings.MailFailureText, settings.MailCaption, true);
    }
  }
  if (result == MailResult::Sent && attachment_used && settings.DeleteFileAfterMail) {
    DeliveryLog("mail: deleting " + mail.attachment);
    if (!ways.RemoveFile(mail.attachment)) DeliveryLog("mail: the file could not be deleted");
  }
  return result;
}

}  // namespace crash
