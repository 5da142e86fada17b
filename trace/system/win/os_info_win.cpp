#include "trace/system/win/os_info_win.h"

#include <windows.h>

#include <string>

namespace trace {
namespace {

OsInfo QueryOperatingSystem() {
  // The 148-byte record every Windows version fills; on the NT family the wide record
  // gives the service pack text as the system stores it.
  OSVERSIONINFOA narrow{};
  narrow.dwOSVersionInfoSize = sizeof(narrow);
  if (!GetVersionExA(&narrow)) return MakeOsInfo(0, 0, 0, 0, "");
  if (narrow.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    return MakeOsInfo(narrow.dwPlatformId, narrow.dwMajorVersion, narrow.dwMinorVersion,
                      narrow.dwBuildNumber, narrow.szCSDVersion);
  }
  OSVERSIONINFOW wide{};
  wide.dwOSVersionInfoSize = sizeof(wide);
  if (!GetVersionExW(&wide)) {
    return MakeOsInfo(narrow.dwPlatformId, narrow.dwMajorVersion, narrow.dwMinorVersion,
                      narrow.dwBuildNumber, narrow.szCSDVersion);
  }
  // Narrowed unit by unit to 8 bits.
  std::string service_pack;
  for (std::size_t i = 0; i < 128 && wide.szCSDVersion[i] != 0; ++i) {
    service_pack.push_back(static_cast<char>(wide.szCSDVersion[i]));
  }
  return MakeOsInfo(wide.dwPlatformId, wide.dwMajorVersion, wide.dwMinorVersion, wide.dwBuildNumber,
                    service_pack);
}

}  // namespace

OsInfo OperatingSystem() {
  static const OsInfo info = QueryOperatingSystem();
  return info;
}

}  // namespace trace
