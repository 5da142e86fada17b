#include "crash/crash_settings.h"

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
  cut(active.SmtpPassword, 75);
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
  active.TransformedPassword = std::string(active.SmtpPassword);
  return active;
}

}  // namespace crash
