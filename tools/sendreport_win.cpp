// sendreport: sends a bug report file with the reporter's mail action, from settings given
// on the command line, and prints what each step of the delivery gave.
//
//   sendreport [OPTION...] REPORT_FILE
//
//   --to ADDRESS        the recipient (MailAddress)
//   --from ADDRESS      the sender (MailFrom; default "kestrapon <recipient>")
//   --subject TEXT      the subject (MailSubject)
//   --ways LIST         the ways tried, comma-separated, of direct, server, mapi, mailto
//                       (default: direct,mapi,mailto)
//   --server HOST       the SMTP server (SmtpServer), --port N its port (SmtpPort, 25)
//   --account NAME      AUTH LOGIN account, --password TEXT its password (plain text)
//   --root NAMES        root name servers of the exchanger walk, comma-separated
//   --attach FILE       attach FILE (AttachBugReportFile; BugReportFile = FILE)
//   --delete-after      delete the attachment after a sent mail (DeleteFileAfterMail)
//   --interactive       not silent: dialogs and message boxes may appear
//   --save [FILE]       save instead of mailing: FILE (default "%appname%.txt") with
//                       --max-size N (BugReportFileMaxSize, 50000)
//   --print             print instead of mailing (shows the print dialog)
//
// Exit code: 0 sent (saved, printed), 1 failed, 2 cancelled by the user, 3 bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/report_actions_win.h"

namespace {

// The largest report file read.
constexpr std::streamsize kMaxReportBytes = 16 << 20;

enum class Action { Mail, Save, Print };

// The command line's texts; the settings record views them, so they live as long as it.
struct Arguments {
  std::string to, from, subject = "bug report", server, account, password, attach;
  std::string save_file = "%appname%.txt";
  std::string ways = "direct,mapi,mailto";
  std::vector<std::string> roots;
  int port = 25;
  int max_size = 50000;
  bool delete_after = false;
  bool interactive = false;
  Action action = Action::Mail;
  std::string report_file;
};

int Usage(const char* problem) {
  std::fprintf(stderr,
               "sendreport: %s\n"
               "usage: sendreport [--to A] [--from A] [--subject T] [--ways direct,server,mapi,"
               "mailto]\n"
               "                  [--server H] [--port N] [--account N] [--password P] "
               "[--root N,N]\n"
               "                  [--attach FILE] [--delete-after] [--interactive]\n"
               "                  [--save [FILE] [--max-size N] | --print] REPORT_FILE\n",
               problem);
  return 3;
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

bool ParseNumber(const char* text, int& value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < 0 || number > 0x7fffffff) return false;
  value = static_cast<int>(number);
  return true;
}

// Reads the arguments; an empty text when they are good, else what is wrong.
std::string Parse(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string text;
    if (option == "--to") {
      if (!value(args.to)) return "--to needs an address";
    } else if (option == "--from") {
      if (!value(args.from)) return "--from needs an address";
    } else if (option == "--subject") {
      if (!value(args.subject)) return "--subject needs a text";
    } else if (option == "--ways") {
      if (!value(args.ways)) return "--ways needs a list";
      for (const std::string& way : SplitList(args.ways)) {
        if (way != "direct" && way != "server" && way != "mapi" && way != "mailto")
          return "unknown way: " + way;
      }
    } else if (option == "--server") {
      if (!value(args.server)) return "--server needs a host";
    } else if (option == "--port") {
      if (!value(text) || !ParseNumber(text.c_str(), args.port) || args.port > 65535)
        return "--port needs a number up to 65535";
    } else if (option == "--account") {
      if (!value(args.account)) return "--account needs a name";
    } else if (option == "--password") {
      if (!value(args.password)) return "--password needs a text";
    } else if (option == "--root") {
      if (!value(text)) return "--root needs names";
      args.roots = SplitList(text);
    } else if (option == "--attach") {
      if (!value(args.attach)) return "--attach needs a file";
    } else if (option == "--delete-after") {
      args.delete_after = true;
    } else if (option == "--interactive") {
      args.interactive = true;
    } else if (option == "--save") {
      args.action = Action::Save;
      // The file is optional: the next argument is it unless it is the last (the report).
      if (i + 2 < argc && argv[i + 1][0] != '-') args.save_file = argv[++i];
    } else if (option == "--max-size") {
      if (!value(text) || !ParseNumber(text.c_str(), args.max_size))
        return "--max-size needs a number";
    } else if (option == "--print") {
      args.action = Action::Print;
    } else if (!option.empty() && option[0] == '-') {
      return "unknown option " + option;
    } else if (args.report_file.empty()) {
      args.report_file = option;
    } else {
      return "only one report file";
    }
  }
  if (args.report_file.empty()) return "no report file";
  return {};
}

void PrintStep(std::string_view line) {
  std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  const std::string problem = Parse(argc, argv, args);
  if (!problem.empty()) return Usage(problem.c_str());

  std::ifstream in(args.report_file, std::ios::binary);
  if (!in) return Usage(("cannot read " + args.report_file).c_str());
  std::string report;
  report.resize(static_cast<size_t>(kMaxReportBytes) + 1);
  in.read(report.data(), kMaxReportBytes + 1);
  report.resize(static_cast<size_t>(in.gcount()));
  if (report.size() > static_cast<size_t>(kMaxReportBytes))
    return Usage("the report file is larger than 16 MB");

  crash::CrashSettings record;
  const std::vector<std::string> ways = SplitList(args.ways);
  const auto has = [&](const char* way) {
    for (const std::string& w : ways)
      if (w == way) return true;
    return false;
  };
  record.MailAddress = args.to;
  record.MailFrom = args.from;
  record.MailSubject = args.subject;
  record.SendDirectSmtp = has("direct");
  record.SendViaSmtpServer = has("server");
  record.SendViaMapi = has("mapi");
  record.SendViaMailto = has("mailto");
  record.SmtpServer = args.server;
  record.SmtpPort = args.port;
  record.SmtpAccount = args.account;
  record.SmtpPassword = "";  // the password is given in plain text below
  record.AttachBugReportFile = !args.attach.empty();
  record.DeleteFileAfterMail = args.delete_after;
  record.BugReportFile = args.action == Action::Save ? args.save_file : args.attach;
  record.BugReportFileMaxSize = args.max_size;
  record.MailCaption = "sendreport";
  record.SaveCaption = "sendreport: save bug report";
  record.PrintCaption = "sendreport";
  crash::ActiveSettings settings = crash::MakeActiveSettings(record);
  settings.TransformedPassword = args.password;
  settings.RootNameServers = args.roots;

  crash::SetDeliveryLog(PrintStep);
  const bool silent = !args.interactive;
  int code = 1;
  switch (args.action) {
    case Action::Mail: {
      const crash::MailResult result = crash::MailAction(settings, report, nullptr, silent);
      PrintStep(result == crash::MailResult::Sent        ? "result: sent"
                : result == crash::MailResult::Cancelled ? "result: cancelled"
                                                         : "result: failed");
      code = static_cast<int>(result) == 1 ? 0 : result == crash::MailResult::Cancelled ? 2 : 1;
      break;
    }
    case Action::Save: {
      const bool saved = crash::SaveAction(settings, report, nullptr, silent);
      PrintStep(saved ? "result: saved" : "result: not saved");
      code = saved ? 0 : 1;
      break;
    }
    case Action::Print:
      crash::PrintAction(settings, report, nullptr);
      PrintStep("result: printed");
      code = 0;
      break;
  }
  crash::SetDeliveryLog(nullptr);
  return code;
}
