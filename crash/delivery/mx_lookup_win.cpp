// The mail exchanger lookup over Windows Sockets 1.1: one UDP socket per query, server names
// through gethostbyname, the walk itself in mx_walk.cpp.
#include "crash/delivery/mx_lookup_win.h"

#include <winsock.h>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/mx_walk.h"

// RtlGenRandom of advapi32, which the headers name only under this export name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace crash {
namespace {

constexpr long kWaitSeconds = 5;
// Reports of an unreachable port for an earlier send (Windows gives them as a receive error
// on the socket) that one wait reads past.
constexpr int kMaxUnreachableReports = 16;

class WinsockSocket final : public DnsSocket {
 public:
  explicit WinsockSocket(SOCKET s) : socket_(s) {}
  ~WinsockSocket() override { closesocket(socket_); }
  WinsockSocket(const WinsockSocket&) = delete;
  WinsockSocket& operator=(const WinsockSocket&) = delete;

  bool Send(uint32_t address, std::span<const uint8_t> datagram) override {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDnsPort);
    to.sin_addr.s_addr = htonl(address);
    const int sent = sendto(socket_, reinterpret_cast<const char*>(datagram.data()),
                            static_cast<int>(datagram.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<int>(datagram.size());
  }

  std::optional<size_t> Receive(std::span<uint8_t, kDnsDatagramLimit> buffer,
                                DnsPeer& sender) override {
    const DWORD start = GetTickCount();
    for (int report = 0; report <= kMaxUnreachableReports; ++report) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= kWaitSeconds * 1000) return std::nullopt;
      const DWORD left = kWaitSeconds * 1000 - spent;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_, &readable);
      timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
      if (select(0, &readable, nullptr, nullptr, &wait) != 1) return std::nullopt;
      sockaddr_in from{};
      int from_size = sizeof from;
      const int got =
          recvfrom(socket_, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                   0, reinterpret_cast<sockaddr*>(&from), &from_size);
      int error = got == SOCKET_ERROR ? WSAGetLastError() : 0;
      if (error == WSAECONNRESET) continue;  // no datagram: one server's port was closed
      if (got == SOCKET_ERROR && error != WSAEMSGSIZE) return std::nullopt;
      sender.address = ntohl(from.sin_addr.s_addr);
      sender.port = ntohs(from.sin_port);
      // A longer datagram was cut to the buffer; the reader sees only what it holds.
      return got == SOCKET_ERROR ? buffer.size() : static_cast<size_t>(got);
    }
    return std::nullopt;
  }

 private:
  SOCKET socket_;
};

class WinsockTransport final : public DnsTransport {
 public:
  std::unique_ptr<DnsSocket> Open() override {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return nullptr;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
      closesocket(s);
      return nullptr;
    }
    return std::make_unique<WinsockSocket>(s);
  }

  std::optional<uint32_t> Address(const std::string& server) override {
    const unsigned long dotted = inet_addr(server.c_str());
    if (dotted != INADDR_NONE) return ntohl(dotted);
    const hostent* host = gethostbyname(server.c_str());
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
        host->h_addr_list[0] == nullptr) {
      return std::nullopt;
    }
    u_long address;
    memcpy(&address, host->h_addr_list[0], sizeof address);
    return ntohl(address);
  }

  uint16_t NewIdentifier() override {
    uint16_t id = 0;
    if (!SystemFunction036(&id, sizeof id)) {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      id = static_cast<uint16_t>(now.LowPart ^ now.LowPart >> 16 ^ GetCurrentProcessId());
    }
    return id;
  }
};

}  // namespace

std::string MailExchanger(std::string_view recipient,
                          const std::vector<std::string>& root_servers) {
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) {
    DeliveryLog("DNS: Windows Sockets 1.1 did not start");
    return {};
  }
  std::string exchanger;
  {
    WinsockTransport transport;
    exchanger = FindMailExchanger(transport, recipient, root_servers);
  }
  WSACleanup();
  return exchanger;
}

}  // namespace crash
