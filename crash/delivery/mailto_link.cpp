#include "crash/delivery/mailto_link.h"

#include "crash/delivery/mail_text.h"
#include "trace/text/ansi_text.h"

namespace crash {

std::string EscapeForMailto(std::string_view text) {
  static const ByteSet escaped = [] {
    ByteSet set;
    for (const char c : std::string_view("\n\r \"#%+<>?"))
      set.set(static_cast<unsigned char>(c));
    return set;
  }();
  return EscapeBytes(text, escaped, '%');
}

std::string MailtoLink(std::string_view to, std::string_view subject, std::string_view body) {
  return "mailto:" + std::string(to) + "?subject=" + EscapeForMailto(subject) +
         "&body=" + EscapeForMailto(body);
}

std::string MailtoCommandLine(std::string_view command, std::string_view link) {
  std::string line(command);
  if (trace::ReplaceAll(line, "%1", link, false, false)) return line;
  if (line.empty() || line.back() != ' ') line += ' ';
  line += link;
  return line;
}

void CutCommandLine(std::string& command, size_t limit) {
  if (command.size() <= limit) return;
  size_t length = limit;
  if (length >= 1 && command[length - 1] == '%') {
    length -= 1;
  } else if (length >= 2 && command[length - 2] == '%') {
    length -= 2;
  }
  command.resize(length);
}

}  // namespace crash
