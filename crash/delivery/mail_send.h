// The inputs of one mail with the bug report: who sends it to whom, its texts, the file it
// carries and the way it goes.
#pragma once

#include <string>
#include <vector>

namespace crash {

struct MailSend {
  std::string from;  // sender; bare address or "Name <address>"; empty: the recipient
  std::string to;    // recipient, same forms; empty fails at once
  std::string subject;
  std::string body;               // the bug report
  std::string attachment;         // full path of a file to attach, or empty
  std::string server;             // host name or dotted address; empty: the recipient's exchanger
  std::string account, password;  // AUTH LOGIN; both empty: no authentication
  int port = 25;
  std::vector<std::string> root_servers;  // where the exchanger walk starts; empty: built-in
};

}  // namespace crash
