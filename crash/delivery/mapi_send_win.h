// A mail handed to the system's Simple MAPI (mapi32.dll's MAPISendMail).
#pragma once

#include <windows.h>

#include <string>

#include "crash/delivery/mail_action.h"

namespace crash {

// True when HKLM "Software\Microsoft\Windows Messaging Subsystem" holds "MAPI" = "1".
bool MapiAvailable();

// Sends through MAPISendMail: without dialog when silent and to is given, else with the
// mail program's logon and dialog. The paused threads run during the call; a topmost
// owner is taken out of the topmost band meanwhile. Not while a system lock is held.
MailResult MapiSend(const std::string& to, const std::string& subject, const std::string& body,
                    const std::string& attachment, HWND owner, bool silent);

}  // namespace crash
