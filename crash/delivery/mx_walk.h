// The walk to a domain's mail exchanger: from two root name servers down the name-server
// referrals of the domain's zone, then the MX records of the domain, then of the zone.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "crash/delivery/dns_transport.h"

namespace crash {

// Where the walk starts when no root servers are given: the first and second root servers.
inline constexpr std::array<std::string_view, 2> kBuiltInRootServers = {"a.root-servers.net",
                                                                        "b.root-servers.net"};
// Referral steps the walk follows after the root servers' and their referral's answers.
inline constexpr int kMaxReferralSteps = 10;

// The recipient's domain: after the first "@" (the whole text without one), a final ">" off.
std::string MailDomain(std::string_view recipient);
// The domain's zone: its last three labels (the whole domain when it has fewer).
std::string MailZone(std::string_view domain);

// The host name of a mail exchanger of the recipient's domain, empty when none was found.
// root_servers: host names or dotted addresses; empty: kBuiltInRootServers.
std::string FindMailExchanger(DnsTransport& transport, std::string_view recipient,
                              const std::vector<std::string>& root_servers);

}  // namespace crash
