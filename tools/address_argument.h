// Reading an address given on a tool's command line.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace tools {

// Hexadecimal with an optional "0x" or "$" in front, at most 8 digits.
inline bool ParseAddress(std::string text, uint32_t& address) {
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
  if (!text.empty() && text[0] == '$') text = text.substr(1);
  if (text.empty() || text.size() > 8) return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 16);
  if (*end != '\0') return false;
  address = static_cast<uint32_t>(value);
  return true;
}

}  // namespace tools
