// A mail handed as a mailto link to the mail program registered for mailto.
#pragma once

#include <string>

namespace crash {

// The registered command (HKCR "mailto\shell\open\command"), its environment variables
// expanded; empty when there is none.
std::string MailtoCommand();

// Starts the registered command with the link; true when the process was started.
bool MailtoSend(const std::string& to, const std::string& subject, const std::string& body);

}  // namespace crash
