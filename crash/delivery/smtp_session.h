// The SMTP dialogue of one mail, from the server's greeting to the reply to QUIT, over the
// few things it needs from the system: a connected socket, a clock, the computer's name, the
// local time and the file to attach. The Windows side (smtp_send_win.cpp) opens and closes
// the connection around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "crash/delivery/mail_send.h"
#include "crash/delivery/mail_text.h"

namespace crash {

// A file opened for reading, closed when the object goes.
class MailFile {
 public:
  virtual ~MailFile() = default;
  // The file's size in bytes as the system reports it when the file is opened.
  virtual uint64_t Size() const = 0;
  // Reads at most `count` bytes; false when the read fails. `got` receives the count read.
  virtual bool Read(char* buffer, size_t count, size_t& got) = 0;
};

// What the dialogue uses of the system.
class SmtpSystem {
 public:
  virtual ~SmtpSystem() = default;
  // One send of at most 1024 bytes; false on an error (a short count is not retried).
  virtual bool SendPiece(std::string_view piece) = 0;
  // Waits at most timeout_ms for the socket to become readable, then one receive into the
  // buffer: the count received, 0 when the server closed, -1 on a time-out or an error.
  virtual int Receive(char* buffer, size_t capacity, int timeout_ms) = 0;
  // Milliseconds of a steady clock.
  virtual uint32_t Milliseconds() = 0;
  // The computer's name for EHLO and HELO.
  virtual std::string ComputerName() = 0;
  // The local time with its offset, for the Date line.
  virtual MailDate Now() = 0;
  // True when a file or folder of that path exists.
  virtual bool FileExists(const std::string& path) = 0;
  // Opens an existing file for reading (shared for reading); nullptr when that fails.
  virtual std::unique_ptr<MailFile> OpenFile(const std::string& path) = 0;
  // True when StartTls can be tried: the system has TLS to offer.
  virtual bool TlsAvailable() { return false; }
  // Turns the connection into a TLS one after the server's 220 reply to STARTTLS; the
  // further sends and receives go through it. False: no TLS here, or the handshake failed.
  virtual bool StartTls(const std::string& /*server*/) { return false; }
};

// The time each reply may take, the whole reply.
inline constexpr int kSmtpReplyLimitMs = 7000;
// The largest piece one send carries.
inline constexpr size_t kSmtpSendPiece = 1024;

// Runs the dialogue on a connected socket; `where` names the server in the log lines
// ("127.0.0.1:2525"). True when the server took the mail and answered QUIT with 221. Every
// step logs a line through DeliveryLog.
bool RunSmtpSession(SmtpSystem& system, const MailSend& mail, std::string_view where);

}  // namespace crash
