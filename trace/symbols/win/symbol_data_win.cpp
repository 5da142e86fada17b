#include "trace/symbols/win/symbol_data_win.h"

#include <windows.h>

#include "trace/pe/win/live_address_space_win.h"
#include "trace/symbols/symbol_block_key.h"
#include "trace/symbols/symbol_cache.h"
#include "trace/system/win/owned_handle_win.h"
#include "trace/x86/x86_names.h"

namespace trace {
namespace {

class MappedFile : public FileBytes {
 public:
  MappedFile(OwnedView view, size_t size) : view_(std::move(view)), size_(size) {}
  std::string_view bytes() const override {
    return std::string_view(reinterpret_cast<const char*>(view_.bytes()), size_);
  }

 private:
  OwnedView view_;
  size_t size_;
};

OwnedHandle OpenForReading(const std::string& name) {
  return OwnedHandle(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

SymbolCache& Cache() {
  static SymbolCache cache(FileDosDateTime);
  return cache;
}

}  // namespace

std::optional<std::string> WinSymbolFiles::ModuleResource(uint32_t module) const {
  const auto handle = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module));
  HRSRC resource = FindResourceA(handle, kSymbolResourceName, kSymbolResourceType);
  if (resource == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(handle, resource);
  const DWORD size = SizeofResource(handle, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), size);
}

bool WinSymbolFiles::Exists(const std::string& name) const {
  return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> WinSymbolFiles::Load(const std::string& name) const {
  return LoadWholeFile(name);
}

std::unique_ptr<FileBytes> WinSymbolFiles::Map(const std::string& name) const {
  const OwnedHandle file = OpenForReading(name);
  if (!file.valid()) return nullptr;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0) return nullptr;
  const OwnedHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.valid()) return nullptr;
  OwnedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (view.bytes() == nullptr) return nullptr;
  return std::make_unique<MappedFile>(std::move(view), size);
}

std::optional<std::string> LoadWholeFile(const std::string& name) {
  if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  const OwnedHandle file = OpenForReading(name);
  if (!file.valid()) return std::nullopt;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE) return std::nullopt;
  std::string bytes(size, '\0');
  DWORD read = 0;
  if (size > 0 && !ReadFile(file.get(), bytes.data(), size, &read, nullptr)) return std::nullopt;
  if (read != size) return std::nullopt;
  return bytes;
}

uint32_t FileDosDateTime(const std::string& name) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(name.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  FindClose(find);
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToDosDateTime(&data.ftLastWriteTime, &date, &time)) return 0;
  return uint32_t{date} << 16 | time;
}

std::shared_ptr<const TMapFile> SymbolDataForAddress(uint32_t address) {
  const void* where = address != 0 ? reinterpret_cast<const void*>(static_cast<uintptr_t>(address))
                                   : static_cast<const void*>(GetModuleHandleA(nullptr));
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(where, &info, sizeof info) == 0 || info.State != MEM_COMMIT ||
      info.AllocationBase == nullptr) {
    return std::make_shared<const TMapFile>();
  }
  char name[MAX_PATH];
  const DWORD length =
      GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), name, sizeof name);
  if (length == 0 || length >= sizeof name) return std::make_shared<const TMapFile>();
  const auto module = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info.AllocationBase));
  const std::string file_name(name, length);
  return Cache().Get(
      file_name, [&] { return LoadMapFile(&LiveSpace(), module, file_name, WinSymbolFiles()); });
}

std::string ExactSymbolName(uint32_t address) {
  if (address == 0) return {};
  return SymbolDataForAddress(address)->ExactName(address);
}

void InstallSymbolNameHook() {
  SetNameHook(ExactSymbolName);
}

void ClearSymbolCache() {
  Cache().Clear();
}

}  // namespace trace
