// The reporter's settings: one record fixed when the program is built. A program passes
// its own record to the reporter's start-up; texts are views of literals, so the record is
// constant data that exists before any start-up code runs. The running reporter works on
// a copy (see ActiveSettings) in which the short texts are cut to their limits and the
// SMTP password has been transformed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crash {

// Produces the disassembly section: the listing of the function at function_start with
// the exception address marked; empty text leaves the section out.
using DisasmProducerFn = std::string (*)(uint32_t function_start, uint32_t exception_address,
                                         int lines, bool option);

// The build-time record; the defaults are the installer's.
struct CrashSettings {
  bool ShowExceptionBox = true;
  bool PauseOtherThreads = true;
  bool AutoSaveBugReport = false;
  bool AutoMailBugReport = false;
  bool CopyReportToClipboard = true;
  bool AutoContinue = false;
  int AutoRestart = 0;  // 0 never, 1 always, N >= 2: the tenth exception within N seconds
  int AutoClose = 0;    // the same encoding
  int AutoDelay = 60;   // seconds of the box's countdown
  std::string_view MailFrom = "";
  std::string_view MailAddress = "bugs@kestrapon.example";  // 75
  std::string_view MailSubject = "Velmo Bug Report";        // 50
  bool AttachBugReportFile = false;
  bool DeleteFileAfterMail = false;
  bool SendDirectSmtp = true;
  bool SendViaSmtpServer = false;
  bool SendViaMapi = true;
  bool SendViaMailto = true;
  std::string_view SmtpServer = "";  // 50
  int SmtpPort = 25;
  std::string_view SmtpAccount = "";                                          // 50
  std::string_view SmtpPassword = "";                                         // 75
  std::string_view MailSuccessText = "The mail was sent successfully.";       // 199
  std::string_view MailFailureText = "Sorry, sending the mail didn't work.";  // 199
  std::string_view BugReportFile = "bugreport.txt";                           // 255
  int BugReportFileMaxSize = 50000;
  std::string_view BoxTitle = "%appname%";                                         // 99
  std::string_view ExceptionText = "%exceptMsg%";                                  // 199
  std::string_view FrozenText = "The application seems to be unable to respond.";  // 99
  std::string_view MailCaption = "mail bug report";                                // 31
  std::string_view SaveCaption = "";                                               // 31
  std::string_view PrintCaption = "";                                              // 31
  std::string_view ShowCaption = "show bug report";                                // 31
  std::string_view ContinueCaption = "continue";                                   // 31
  std::string_view RestartCaption = "";                                            // 31
  std::string_view CloseCaption = "terminate";                                     // 31
  int FocusedButton = 6;
  bool ShowDetailsInitially = true;
  bool AnimatedButtons = true;
  bool ConsoleOutput = true;
  bool ListAllThreads = true;
  bool ListModules = true;
  bool StackTraceOptionA = false;
  bool StackTraceOptionB = false;
  bool DisasmOption = false;
  int DisasmLines = 20;
  bool ReportCommandLine = true;
  std::string_view NoReportClasses = "";
  bool HandleExceptions = true;
  int AntiFreezeTimeout = 0;                     // ms; 0 or less: no watchdog
  const char* const* VersionVariable = nullptr;  // a text variable printed as the version
  bool HookRuntime = true;
};

// The running reporter's copy: every short text cut to its limit (the views still point
// into the program's literals), the transformed password and the disassembly producer.
struct ActiveSettings : CrashSettings {
  std::string TransformedPassword;  // SmtpPassword after the password routine, cut to 75
  DisasmProducerFn DisasmProducer = nullptr;
  // Where the mail exchanger walk starts; empty: the two built-in root name servers.
  std::vector<std::string> RootNameServers;
};

// The copy of a record with every short text cut to its limit.
ActiveSettings MakeActiveSettings(const CrashSettings& record);

// The action codes of the box's buttons and of the automatic steps.
enum class ButtonAction : int {
  Mail = 0,
  Save = 1,
  Print = 2,
  Show = 3,
  Continue = 4,
  Restart = 5,
  Close = 6,
};

}  // namespace crash
