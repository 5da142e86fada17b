// The mailto link that hands a report to the registered mail program, and the command
// line that carries it.
#pragma once

#include <string>
#include <string_view>

namespace crash {

// The longest command line CreateProcessA takes on the NT family.
inline constexpr size_t kMaxCommandLine = 32766;

// Every byte of LF, CR, blank, '"', '#', '%', '+', '<', '>', '?' as "%" and two
// upper-case hexadecimal digits; other bytes as they are.
std::string EscapeForMailto(std::string_view text);

// "mailto:" address "?subject=" subject "&body=" body, subject and body escaped; the
// address as it is.
std::string MailtoLink(std::string_view to, std::string_view subject, std::string_view body);

// The registered command with the link: every "%1" replaced by it, or, without "%1", the
// link appended after a blank unless the command ends with one already.
std::string MailtoCommandLine(std::string_view command, std::string_view link);

// Cuts a command line to at most limit characters, shortened by one or two more where
// the cut would leave a "%" as its last or next-to-last character, so that no escape
// sequence is cut in half.
void CutCommandLine(std::string& command, size_t limit = kMaxCommandLine);

}  // namespace crash
