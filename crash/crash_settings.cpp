#include "crash/crash_settings.h"

#include "crash/delivery/smtp_password.h"

namespace crash {

ActiveSettings MakeActiveSettings(const CrashSettings& record) {
  ActiveSettings active;
  static_cast<CrashSettings&>(active) = record;
  const auto cut = [](std::string_view& text, size_t limit) {
    if (text.size() > limit) text = text.substr(0, limit);
  };
  cut(active.MailAddress, 75);
  cut(active.MailSubject, 50);
  cut(active.SmtpServer, 50);
  cut(active.SmtpAccount, 50);
  cut(active.MailSuccessText, 199);
  cut(active.MailFailureText, 199);
  cut(active.BugReportFile, 255);
  cut(active.BoxTitle, 99);
  cut(active.ExceptionText, 199);
  cut(active.FrozenText, 99);
  for (std::string_view* caption :
       {&active.MailCaption, &active.SaveCaption, &active.PrintCaption, &active.ShowCaption,
        &active.ContinueCaption, &active.RestartCaption, &active.CloseCaption}) {
    cut(*caption, 31);
  }
  // The stored form is longer than the password (block padding of each pass): it is restored
  // whole, with the server and account texts as the running reporter has them, and the
  // password then cut to its limit.
  active.TransformedPassword =
      RestoreSmtpPassword(record.SmtpPassword, active.SmtpServer, active.SmtpAccount);
  if (active.TransformedPassword.size() > 75) active.TransformedPassword.resize(75);
  return active;
}

}  // namespace crash
