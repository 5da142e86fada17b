#include "crash/delivery/mx_walk.h"

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/dns_query.h"

namespace crash {

std::string MailDomain(std::string_view recipient) {
  const size_t at = recipient.find('@');
  std::string_view domain = at == std::string_view::npos ? recipient : recipient.substr(at + 1);
  if (!domain.empty() && domain.back() == '>') domain.remove_suffix(1);
  return std::string(domain);
}

std::string MailZone(std::string_view domain) {
  int dots = 0;
  for (size_t i = domain.size(); i-- > 0;) {
    if (domain[i] == '.' && ++dots == 3) return std::string(domain.substr(i + 1));
  }
  return std::string(domain);
}

std::string FindMailExchanger(DnsTransport& transport, std::string_view recipient,
                              const std::vector<std::string>& root_servers) {
  const std::string domain = MailDomain(recipient);
  const std::string zone = MailZone(domain);
  DeliveryLog("DNS: mail exchanger of " + domain + " (zone " + zone + ")");
  if (domain.empty()) return {};
  std::vector<std::string> roots = root_servers;
  if (roots.empty()) roots.assign(kBuiltInRootServers.begin(), kBuiltInRootServers.end());

  const DnsQueryResult from_roots = AskDns(transport, zone, roots, kDnsTypeNs);
  if (from_roots.authorities.empty()) {
    DeliveryLog("DNS: the root servers gave no name servers for " + zone);
    return {};
  }
  // The name servers last named: where the MX question goes when no server answered the
  // zone's NS question itself. An answer that names none (a referral-less "no such data")
  // leaves them as they were, so that the servers that gave it are asked.
  std::vector<std::string> latest = from_roots.authorities;
  DnsQueryResult step = AskDns(transport, zone, latest, kDnsTypeNs);
  for (int i = 0;; ++i) {
    if (!step.authorities.empty()) latest = step.authorities;
    if (i == kMaxReferralSteps || !step.answers.empty() || step.authorities.empty()) break;
    step = AskDns(transport, zone, step.authorities, kDnsTypeNs);
  }
  const std::vector<std::string> servers = step.answers.empty() ? latest : step.answers;

  DnsQueryResult mx = AskDns(transport, domain, servers, kDnsTypeMx);
  if (mx.answers.empty() && domain != zone) mx = AskDns(transport, zone, servers, kDnsTypeMx);
  const std::string exchanger = mx.answers.empty() ? std::string() : mx.answers.front();
  DeliveryLog("DNS: mail exchanger of " + domain + ": " +
              (exchanger.empty() ? std::string("none found") : exchanger));
  return exchanger;
}

}  // namespace crash
