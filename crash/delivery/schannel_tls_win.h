// TLS on a connected socket through Schannel (the system's security support interface):
// the client handshake and the records of the data sent and received after it. Used for
// STARTTLS; the server's certificate is not checked (opportunistic TLS, RFC 7435: it keeps
// the mail from eavesdroppers, not from a server that poses as the real one).
#pragma once

#include <winsock.h>
//
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace crash {

class SchannelTls {
 public:
  SchannelTls() = default;
  ~SchannelTls();
  SchannelTls(const SchannelTls&) = delete;
  SchannelTls& operator=(const SchannelTls&) = delete;

  // The client handshake on the socket (server: the name the server is asked for, or empty
  // for none, as for a dotted address); each wait for the server at most timeout_ms. False
  // when Schannel or the server refuses or a wait runs out.
  bool Handshake(SOCKET socket, const std::string& server, int timeout_ms);
  // Enciphers the bytes as one record and sends it whole.
  bool Send(std::string_view bytes);
  // Deciphered bytes: at most capacity of them, waiting at most timeout_ms in all for a
  // whole record; -1 on a time-out, an error or a closed connection.
  int Receive(char* buffer, size_t capacity, int timeout_ms);

 private:
  bool SendAll(const char* bytes, size_t count);
  // Receives more enciphered bytes into incoming_, waiting until the deadline.
  bool ReceiveMore(DWORD deadline);

  SOCKET socket_ = INVALID_SOCKET;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool have_credentials_ = false;
  bool have_context_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::string incoming_;  // enciphered bytes not yet deciphered
  std::string plain_;     // deciphered bytes not yet handed out
};

}  // namespace crash
