// The three actions that take a finished bug report out of the program: mail, save and
// print. The exception box calls them at a button, the handling flow silently as its
// automatic steps. owner: the window dialogs and message boxes belong to, or none.
#pragma once

#include <windows.h>

#include <string>

#include "crash/crash_settings.h"
#include "crash/delivery/mail_action.h"

namespace crash {

// Tries SMTP to the recipient's mail exchanger, SMTP through the configured server, MAPI
// and a mailto link, in that order as the settings allow; silent: no dialog, no message.
MailResult MailAction(const std::string& report, HWND owner, bool silent);
// Appends the report to the bug report file, trimmed to its size; true when it was written.
bool SaveAction(const std::string& report, HWND owner, bool silent);
// Prints the report on a printer the user picks.
void PrintAction(const std::string& report, HWND owner);

// The same with given settings in place of the running reporter's (the engineers' mail
// tool, tests).
MailResult MailAction(const ActiveSettings& settings, const std::string& report, HWND owner,
                      bool silent);
bool SaveAction(const ActiveSettings& settings, const std::string& report, HWND owner, bool silent);
void PrintAction(const ActiveSettings& settings, const std::string& report, HWND owner);

}  // namespace crash
