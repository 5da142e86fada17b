#include "trace/pe/win/file_version_win.h"

#include <windows.h>

#include <vector>

namespace trace {

uint64_t FileVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return 0;
  void* value = nullptr;
  UINT length = 0;
  char root[] = "\\";
  if (!VerQueryValueA(data.data(), root, &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO))
    return 0;
  // The pointer lies inside data, which VerQueryValueA does not check for us.
  const auto* begin = data.data();
  const auto* info_bytes = static_cast<const unsigned char*>(value);
  if (info_bytes < begin || info_bytes + sizeof(VS_FIXEDFILEINFO) > begin + data.size()) return 0;
  VS_FIXEDFILEINFO info;
  memcpy(&info, info_bytes, sizeof(info));
  return uint64_t{info.dwFileVersionMS} << 32 | info.dwFileVersionLS;
}

}  // namespace trace
