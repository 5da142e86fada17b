// The Windows side of SMTP delivery: Windows Sockets 1.1 (one start-up a send and one socket a
// connection, both released on every path), the server's address, the connection and its TLS
// through Schannel; the dialogue itself is smtp_session.cpp's.
#include <winsock.h>
//
#include <windows.h>

#include <memory>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mx_lookup_win.h"
#include "crash/delivery/schannel_tls_win.h"
#include "crash/delivery/smtp_send_win.h"
#include "crash/delivery/smtp_session.h"

namespace crash {
namespace {

// WSAStartup's version 1.1 and the WSACleanup that matches it.
class WinsockStartup {
 public:
  WinsockStartup() {
    WSADATA data;
    started_ = WSAStartup(0x0101, &data) == 0;
  }
  ~WinsockStartup() {
    if (started_) WSACleanup();
  }
  WinsockStartup(const WinsockStartup&) = delete;
  WinsockStartup& operator=(const WinsockStartup&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

// A socket closed when the object goes.
class SocketOwner {
 public:
  explicit SocketOwner(SOCKET socket) : socket_(socket) {}
  ~SocketOwner() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  SocketOwner(const SocketOwner&) = delete;
  SocketOwner& operator=(const SocketOwner&) = delete;
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

class WindowsMailFile final : public MailFile {
 public:
  WindowsMailFile(HANDLE file, uint64_t size) : file_(file), size_(size) {}
  ~WindowsMailFile() override { CloseHandle(file_); }
  WindowsMailFile(const WindowsMailFile&) = delete;
  WindowsMailFile& operator=(const WindowsMailFile&) = delete;

  uint64_t Size() const override { return size_; }
  bool Read(char* buffer, size_t count, size_t& got) override {
    DWORD read = 0;
    const BOOL ok = ReadFile(file_, buffer, static_cast<DWORD>(count), &read, nullptr);
    got = read;
    return ok != FALSE;
  }

 private:
  HANDLE file_;
  uint64_t size_;
};

class WinsockSystem final : public SmtpSystem {
 public:
  WinsockSystem(SOCKET socket, bool allow_tls) : socket_(socket), allow_tls_(allow_tls) {}

  // True when a TLS handshake was tried and failed.
  bool tls_failed() const { return tls_failed_; }

  bool SendPiece(std::string_view piece) override {
    if (tls_) return tls_->Send(piece);
    return send(socket_, piece.data(), static_cast<int>(piece.size()), 0) != SOCKET_ERROR;
  }

  int Receive(char* buffer, size_t capacity, int timeout_ms) override {
    if (tls_) return tls_->Receive(buffer, capacity, timeout_ms);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &limit) <= 0) return -1;
    const int got = recv(socket_, buffer, static_cast<int>(capacity), 0);
    return got == SOCKET_ERROR ? -1 : got;
  }

  uint32_t Milliseconds() override { return GetTickCount(); }

  std::string ComputerName() override {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return "localhost";
    return std::string(name, size);
  }

  MailDate Now() override {
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    FILETIME local_file, utc_file;
    SystemTimeToFileTime(&local, &local_file);
    SystemTimeToFileTime(&utc, &utc_file);
    const auto ticks = [](const FILETIME& t) {
      return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                  t.dwLowDateTime);
    };
    // 100-ns ticks to minutes, rounded: the two readings lie microseconds apart.
    const int64_t difference = ticks(local_file) - ticks(utc_file);
    const int64_t minute = 600000000;
    const int64_t offset =
        (difference >= 0 ? difference + minute / 2 : difference - minute / 2) / minute;
    MailDate date;
    date.year = local.wYear;
    date.month = local.wMonth;
    date.day = local.wDay;
    date.weekday = local.wDayOfWeek;
    date.hour = local.wHour;
    date.minute = local.wMinute;
    date.second = local.wSecond;
    date.offset_minutes = static_cast<int>(offset);
    return date;
  }

  bool TlsAvailable() override { return allow_tls_; }

  bool StartTls(const std::string& server) override {
    tls_ = std::make_unique<SchannelTls>();
    // A dotted address is no name to ask for.
    const std::string name = inet_addr(server.c_str()) == INADDR_NONE ? server : std::string();
    if (tls_->Handshake(socket_, name, kSmtpReplyLimitMs)) return true;
    tls_.reset();
    tls_failed_ = true;
    return false;
  }

  bool FileExists(const std::string& path) override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::unique_ptr<MailFile> OpenFile(const std::string& path) override {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
      CloseHandle(file);
      return nullptr;
    }
    return std::make_unique<WindowsMailFile>(file, (static_cast<uint64_t>(high) << 32) | low);
  }

 private:
  SOCKET socket_;
  bool allow_tls_;
  bool tls_failed_ = false;
  std::unique_ptr<SchannelTls> tls_;
};

// The server's IPv4 address: a dotted address as it is, else the first address of its name.
bool ServerAddress(const std::string& server, in_addr& address) {
  address.s_addr = inet_addr(server.c_str());
  if (address.s_addr != INADDR_NONE) return true;
  const hostent* host = gethostbyname(server.c_str());
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
      !host->h_addr_list[0]) {
    return false;
  }
  CopyMemory(&address, host->h_addr_list[0], 4);
  return true;
}

}  // namespace

namespace {

// One connection and its dialogue; the socket is closed on every path.
bool Attempt(const MailSend& mail, const std::string& where, const sockaddr_in& peer,
             bool allow_tls, bool& tls_failed) {
  SocketOwner socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (socket.get() == INVALID_SOCKET) {
    DeliveryLog("smtp: socket failed");
    return false;
  }
  if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    DeliveryLog("smtp " + where + ": connect failed");
    return false;
  }
  DeliveryLog("smtp " + where + ": connected");
  WinsockSystem system(socket.get(), allow_tls);
  const bool sent = RunSmtpSession(system, mail, where);
  tls_failed = system.tls_failed();
  return sent;
}

}  // namespace

bool SendMail(const MailSend& mail) {
  if (mail.to.empty()) {
    DeliveryLog("smtp: no recipient");
    return false;
  }
  WinsockStartup winsock;
  if (!winsock.started()) {
    DeliveryLog("smtp: WSAStartup failed");
    return false;
  }
  MailSend resolved = mail;
  if (resolved.server.empty()) {
    resolved.server = MailExchanger(mail.to, mail.root_servers);
    if (resolved.server.empty()) {
      DeliveryLog("smtp: no mail exchanger for " + mail.to);
      return false;
    }
    DeliveryLog("smtp: mail exchanger " + resolved.server);
  }
  const std::string where = resolved.server + ":" + std::to_string(mail.port);
  in_addr address;
  if (mail.port <= 0 || mail.port > 65535 || !ServerAddress(resolved.server, address)) {
    DeliveryLog("smtp " + where + ": no address");
    return false;
  }
  sockaddr_in peer = {};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<u_short>(mail.port));
  peer.sin_addr = address;
  bool tls_failed = false;
  bool sent = Attempt(resolved, where, peer, true, tls_failed);
  if (!sent && tls_failed) {
    // A server whose TLS this system can't speak still gets the mail as before.
    DeliveryLog("smtp " + where + ": again without TLS");
    sent = Attempt(resolved, where, peer, false, tls_failed);
  }
  DeliveryLog("smtp " + where + (sent ? ": mail sent" : ": mail not sent"));
  return sent;
}

}  // namespace crash
