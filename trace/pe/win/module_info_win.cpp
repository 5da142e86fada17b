#include "trace/pe/win/module_info_win.h"

#include <windows.h>

#include <vector>

#include "trace/pe/export_name.h"
#include "trace/pe/win/live_address_space_win.h"
#include "trace/system/win/os_info_win.h"
#include "trace/system/win/owned_handle_win.h"

namespace trace {
namespace {

// Forwarders that forward again are followed this many times at most, so that a cycle of
// forwarders ends.
constexpr int kMaxForwarderDepth = 8;

HMODULE AsModule(uint32_t module) {
  return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module));
}

uint32_t AsAddress(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// The dword at the relative address slot_rva as the image file on disk holds it.
std::optional<uint32_t> ReadFromDisk(uint32_t module, const PeHeaders& headers, uint32_t slot_rva) {
  const std::string path = ModuleFileName(module);
  if (path.empty()) return std::nullopt;
  OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  DWORD size_high = 0;
  const DWORD size = GetFileSize(file.get(), &size_high);
  if (size == INVALID_FILE_SIZE || size_high != 0) return std::nullopt;
  OwnedHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.valid()) return std::nullopt;
  const OwnedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (view.bytes() == nullptr) return std::nullopt;
  const uint32_t offset = RelativeToRaw(headers, slot_rva);
  if (offset > size || size - offset < 4) return std::nullopt;
  const unsigned char* p = view.bytes() + offset;
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Resolve(uint32_t module, std::string_view name, uint32_t ordinal, int depth);

// The address of a forwarder's target "module.function" or "module.#ordinal".
uint32_t ResolveForwarder(const std::string& forwarder, int depth) {
  const std::size_t dot = forwarder.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == forwarder.size()) return 0;
  const std::string module_name = forwarder.substr(0, dot);
  const std::string function = forwarder.substr(dot + 1);
  const uint32_t target = AsAddress(GetModuleHandleA(module_name.c_str()));
  if (target == 0) return 0;
  if (function[0] == '#') {
    uint32_t number = 0;
    for (std::size_t i = 1; i < function.size(); ++i) {
      if (function[i] < '0' || function[i] > '9' || number > 0xFFFF) return 0;
      number = number * 10 + static_cast<uint32_t>(function[i] - '0');
    }
    return Resolve(target, {}, number, depth + 1);
  }
  return Resolve(target, function, 0, depth + 1);
}

// The export by name (when name is not empty) or by ordinal.
uint32_t Resolve(uint32_t module, std::string_view name, uint32_t ordinal, int depth) {
  if (module == 0 || depth > kMaxForwarderDepth) return 0;
  const auto image = PeImage::Open(LiveSpace(), module);
  std::optional<ExportEntry> entry;
  if (image) entry = name.empty() ? image->ExportByOrdinal(ordinal) : image->ExportByName(name);
  if (entry) {
    uint32_t rva = entry->rva;
    std::optional<std::string> forwarder;
    if (entry->is_forwarder) forwarder = entry->forwarder;
    if (rva >= image->headers().image_size) {
      // Patched in memory to point outside the image: the file holds the original value.
      if (const auto original = ReadFromDisk(module, image->headers(), entry->slot_rva)) {
        rva = *original;
        forwarder = image->ForwarderAt(rva);
      }
    }
    if (forwarder) {
      if (const uint32_t address = ResolveForwarder(*forwarder, depth)) return address;
    } else if (rva != 0 && rva < image->headers().image_size) {
      return module + rva;
    }
  }
  if (name.empty() && (ordinal == 0 || ordinal > 0xFFFF)) return 0;
  const FARPROC found =
      name.empty()
          ? GetProcAddress(AsModule(module),
                           reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(ordinal & 0xFFFF)))
          : GetProcAddress(AsModule(module), std::string(name).c_str());
  return AsAddress(reinterpret_cast<const void*>(found));
}

}  // namespace

std::optional<LoadedModule> ModuleOfAddress(uint32_t address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &info,
                   sizeof(info)) != sizeof(info))
    return std::nullopt;
  if (info.State != MEM_COMMIT || info.AllocationBase == nullptr) return std::nullopt;
  LoadedModule module;
  module.handle = AsAddress(info.AllocationBase);
  module.file_name = ModuleFileName(module.handle);
  return module;
}

std::string ModuleFileName(uint32_t module) {
  if (module == 0) return {};
  if (OperatingSystem().is_9x) {
    char name[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(AsModule(module), name, MAX_PATH);
    return std::string(name, length > MAX_PATH ? MAX_PATH : length);
  }
  // Most paths fit the first buffer; a truncated one is read again into the longest.
  std::vector<wchar_t> wide(MAX_PATH + 1);
  DWORD length = 0;
  for (;;) {
    length = GetModuleFileNameW(AsModule(module), wide.data(), static_cast<DWORD>(wide.size()));
    if (length == 0) return {};
    if (length < wide.size() - 1) break;
    if (wide.size() >= 32768) return {};
    wide.resize(32768);
  }
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(length), nullptr,
                                        0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string name(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(length), name.data(), bytes, nullptr,
                      nullptr);
  return name;
}

std::optional<PeHeaders> ModuleImageHeaders(uint32_t module) {
  if (module == 0) return std::nullopt;
  return ReadPeHeaders(LiveSpace(), module);
}

uint32_t ModuleImageDirectory(uint32_t module, int index) {
  if (module == 0) return 0;
  const auto image = PeImage::Open(LiveSpace(), module);
  return image ? image->DirectoryAddress(index) : 0;
}

uint32_t ModuleExportByName(uint32_t module, std::string_view name) {
  if (name.empty()) return 0;
  return Resolve(module, name, 0, 0);
}

uint32_t ModuleExportByOrdinal(uint32_t module, uint32_t ordinal) {
  return Resolve(module, {}, ordinal, 0);
}

std::string ModuleExportName(uint32_t module, uint32_t address) {
  if (module == 0) return {};
  const auto image = PeImage::Open(LiveSpace(), module);
  if (!image) return {};
  return DemangleExportName(image->ExportNameAt(address));
}

}  // namespace trace
