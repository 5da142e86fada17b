// smtp_password: writes the SMTP lines of a settings record with the password in the stored
// form that the reporter restores at start-up.
//
//   smtp_password SERVER ACCOUNT PASSWORD
//
// prints three designated initialisers (.SmtpServer, .SmtpAccount, .SmtpPassword) to paste
// into a CrashSettings record; the stored form holds any byte, so it is written as a
// string_view with octal escapes and its length.
#include <cstdio>
#include <string>
#include <string_view>

#include "crash/delivery/smtp_password.h"

namespace {

// The text as a C++ string literal: printable ASCII as it is, the rest as octal escapes.
std::string Literal(std::string_view text) {
  std::string literal = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\' && c != '?') {
      literal += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03o", byte);
      literal += escape;
    }
  }
  return literal + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: smtp_password SERVER ACCOUNT PASSWORD\n");
    return 2;
  }
  // The reporter keys the passes with the texts cut to their limits.
  const std::string_view server = std::string_view(argv[1]).substr(0, 50);
  const std::string_view account = std::string_view(argv[2]).substr(0, 50);
  const std::string_view password = argv[3];
  if (password.size() > 75) {
    std::fprintf(stderr, "smtp_password: the password is longer than 75 characters\n");
    return 2;
  }
  const std::string stored = crash::TransformSmtpPassword(password, server, account);
  std::printf(".SmtpServer = %s,\n.SmtpAccount = %s,\n.SmtpPassword = std::string_view(%s, %zu),\n",
              Literal(server).c_str(), Literal(account).c_str(), Literal(stored).c_str(),
              stored.size());
  return 0;
}
