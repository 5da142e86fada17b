// The operating system record: version, build, service pack, family flags, a kind number
// and a description, worked out from what GetVersionEx reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trace {

// Platform ids of GetVersionEx.
inline constexpr uint32_t kPlatformWin9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
inline constexpr uint32_t kPlatformNt = 2;     // VER_PLATFORM_WIN32_NT

// Number of kinds: 0 "None" to 12 "Windows NT New".
inline constexpr int kOsKindCount = 13;

// The operating system record.
struct OsInfo {
  uint32_t major = 0;                // major version
  uint32_t minor = 0;                // minor version
  uint32_t build = 0;                // build number; on the 9x family its low 16 bits only
  std::string service_pack;          // the CSD version text
  bool is_9x = false;                // platform id 1
  uint8_t kind_9x = 0;               // kind when is_9x, else 0
  bool is_nt = false;                // platform id 2
  uint8_t kind_nt = 0;               // kind when is_nt, else 0
  uint8_t kind = 0;                  // index into the kind names
  uint32_t service_pack_number = 0;  // NT only: the number after "Service Pack "
  std::string description;           // the kind's name, on NT followed by the service pack text
};

// The name of a kind ("None", "Windows 95", ..., "Windows NT New"); "None" when out of range.
std::string_view OsKindName(int kind);

// The record for what GetVersionEx reports.
OsInfo MakeOsInfo(uint32_t platform_id, uint32_t major, uint32_t minor, uint32_t build,
                  std::string_view service_pack);

}  // namespace trace
