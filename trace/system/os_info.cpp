#include "trace/system/os_info.h"

#include <array>

namespace trace {
namespace {

constexpr std::array<std::string_view, kOsKindCount> kKindNames = {
    "None",       "Windows 95",     "Windows 95 OSR-2", "Windows 98",   "Windows 98 SE",
    "Windows ME", "Windows 9x New", "Windows NT 3",     "Windows NT 4", "Windows 2000",
    "Windows XP", "Windows 2003",   "Windows NT New",
};

// Length of "Service Pack " plus one: the number follows the 13th character.
constexpr std::size_t kServicePackPrefix = 13;

uint8_t Kind9x(uint32_t major, uint32_t minor, uint32_t build) {
  if (major < 4) return 0;
  if (major > 4) return 6;
  if (minor < 10) return build <= 1000 ? 1 : 2;
  if (minor == 10) {
    if (build <= 2000) return 3;
    if (build <= 2700) return 4;
    return 5;
  }
  if (minor <= 90) return 5;
  return 6;
}

uint8_t KindNt(uint32_t major, uint32_t minor) {
  if (major < 4) return 7;
  if (major == 4) return 8;
  if (major > 5) return 12;
  if (minor <= 2) return static_cast<uint8_t>(9 + minor);
  return 12;
}

// The decimal number at the start of text (0 when it starts with no digit), saturating.
uint32_t LeadingNumber(std::string_view text) {
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace

std::string_view OsKindName(int kind) {
  if (kind < 0 || kind >= kOsKindCount) return kKindNames[0];
  return kKindNames[static_cast<std::size_t>(kind)];
}

OsInfo MakeOsInfo(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build,
                  std::string_view service_pack) {
  OsInfo info;
  info.major = major;
  info.minor = minor;
  info.build = build;
  info.service_pack = std::string(service_pack);
  info.is_9x = platform_id == kPlatformWin9x;
  info.is_nt = platform_id == kPlatformNt;
  if (info.is_9x) {
    info.build = build & 0xFFFF;
    info.kind = info.kind_9x = Kind9x(major, minor, info.build);
  } else if (info.is_nt) {
    info.kind = info.kind_nt = KindNt(major, minor);
    if (service_pack.size() > kServicePackPrefix) {
      info.service_pack_number = LeadingNumber(service_pack.substr(kServicePackPrefix));
    }
  }
  info.description = std::string(OsKindName(info.kind));
  if (info.is_nt && !service_pack.empty()) info.description += " " + info.service_pack;
  return info;
}

}  // namespace trace
