#include "crash/delivery/dns_query.h"

#include <algorithm>
#include <array>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/dns_response.h"

namespace crash {
namespace {

std::string TypeText(uint16_t type) {
  return type == kDnsTypeMx ? "MX" : type == kDnsTypeNs ? "NS" : std::to_string(type);
}

std::string JoinNames(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const std::string& n : names) {
    if (!text.empty()) text += ", ";
    text += n;
  }
  return text;
}

}  // namespace

std::string DottedAddress(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
         std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

DnsQueryResult AskDns(DnsTransport& transport, std::string_view name,
                      const std::vector<std::string>& servers, uint16_t type) {
  DnsQueryResult result;
  const std::string what = "DNS " + TypeText(type) + " " + std::string(name);
  std::array<uint8_t, kDnsDatagramLimit> query{};
  const size_t query_size = BuildDnsQuery(name, type, transport.NewIdentifier(), query);
  if (query_size == 0) {
    DeliveryLog(what + ": the name can't be asked");
    return result;
  }
  const std::unique_ptr<DnsSocket> socket = transport.Open();
  if (!socket) {
    DeliveryLog(what + ": no socket");
    return result;
  }
  const std::span<const uint8_t> sent(query.data(), query_size);
  std::vector<uint32_t> asked;  // one entry per send that went, so per pending response
  std::string asked_text;
  for (const std::string& server : servers) {
    if (server.empty()) continue;
    const std::optional<uint32_t> address = transport.Address(server);
    if (!asked_text.empty()) asked_text += ", ";
    asked_text += server;
    if (!address) {
      asked_text += " (no address)";
      continue;
    }
    if (server != DottedAddress(*address)) asked_text += " " + DottedAddress(*address);
    if (socket->Send(*address, sent)) {
      asked.push_back(*address);
    } else {
      asked_text += " (not sent)";
    }
  }
  DeliveryLog(what + ": asked " + (asked_text.empty() ? "nobody" : asked_text));

  std::array<uint8_t, kDnsDatagramLimit> buffer{};
  int ignored = 0;
  while (!asked.empty()) {
    DnsPeer sender;
    const std::optional<size_t> size = socket->Receive(buffer, sender);
    if (!size) {
      DeliveryLog(what + ": no answer within 5 s");
      break;
    }
    const auto from = std::find(asked.begin(), asked.end(), sender.address);
    const std::string from_text = DottedAddress(sender.address) + ":" + std::to_string(sender.port);
    DnsResponse response;
    if (from != asked.end() && sender.port == kDnsPort) {
      response = ReadDnsResponse(std::span<const uint8_t>(buffer.data(), *size), sent);
    }
    if (response.kind == DnsResponseKind::kForeign) {
      DeliveryLog(what + ": ignored a datagram from " + from_text + " (not the answer)");
      if (++ignored >= kDnsMaxIgnoredDatagrams) break;
      continue;
    }
    asked.erase(from);
    if (response.kind == DnsResponseKind::kError) {
      DeliveryLog(what + ": " + from_text + " answered with response code " +
                  std::to_string(response.response_code) + " (skipped)");
      continue;
    }
    std::string line = what + ": " + from_text + " answered " + JoinNames(response.answers);
    if (type == kDnsTypeNs) line += "; authorities " + JoinNames(response.authorities);
    DeliveryLog(line);
    if (!response.answers.empty() || !response.authorities.empty()) {
      result.answers = std::move(response.answers);
      result.authorities = std::move(response.authorities);
      break;
    }
  }
  return result;
}

}  // namespace crash
