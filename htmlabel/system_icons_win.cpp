#include "htmlabel/system_icons_win.h"

#include <shellapi.h>

namespace htmlabel {
namespace {

UINT SizeFlag(bool large) {
  return large ? SHGFI_LARGEICON : SHGFI_SMALLICON;
}

}  // namespace

HIMAGELIST SystemImageList(bool large) {
  SHFILEINFOA info{};
  return reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA(".txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SizeFlag(large)));
}

int SystemIconIndexOf(const std::string& name, bool large) {
  SHFILEINFOA info{};
  UINT flags = SHGFI_SYSICONINDEX | SizeFlag(large);
  DWORD attributes = 0;
  if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
    flags |= SHGFI_USEFILEATTRIBUTES;
    attributes = FILE_ATTRIBUTE_NORMAL;
  }
  if (!SHGetFileInfoA(name.c_str(), attributes, &info, sizeof info, flags)) return -1;
  return info.iIcon;
}

}  // namespace htmlabel
