// The host name of a mail exchanger of a recipient's domain, found by an iterative walk
// from two root name servers over DNS on UDP.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace crash {

// recipient: a mail address ("Name <user@domain>" or "user@domain"); root_servers: host
// names or dotted addresses where the walk starts, empty for the built-in two. Empty
// result: none found.
std::string MailExchanger(std::string_view recipient, const std::vector<std::string>& root_servers);

}  // namespace crash
