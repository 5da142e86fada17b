#include <windows.h>

#include "framework/resource.h"

namespace fw {

ResourceBytes FindResourceBytes(const char* name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_RCDATA));
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return {};
  ResourceBytes bytes;
  bytes.data = static_cast<const std::uint8_t*>(LockResource(loaded));
  bytes.size = bytes.data ? SizeofResource(module, info) : 0;
  return bytes;
}

}  // namespace fw
