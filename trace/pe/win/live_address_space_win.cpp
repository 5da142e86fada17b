#include "trace/pe/win/live_address_space_win.h"

#include <windows.h>

#include "trace/pe/pe_image.h"
#include "trace/pe/win/module_info_win.h"
#include "trace/system/win/try_read_memory_win.h"

namespace trace {

bool LiveAddressSpace::Read(uint32_t address, void* buffer, uint32_t count) const {
  return TryReadMemory(address, buffer, count);
}

std::optional<MemoryRegion> LiveAddressSpace::Region(uint32_t address) const {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &info,
                   sizeof(info)) != sizeof(info))
    return std::nullopt;
  MemoryRegion region;
  region.base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info.BaseAddress));
  region.size = static_cast<uint32_t>(info.RegionSize);
  region.allocation_base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info.AllocationBase));
  region.committed = info.State == MEM_COMMIT;
  return region;
}

std::optional<ModuleInfo> LiveAddressSpace::ModuleOf(uint32_t address) const {
  const auto module = ModuleOfAddress(address);
  if (!module || module->file_name.empty()) return std::nullopt;
  const auto headers = ReadPeHeaders(*this, module->handle);
  if (!headers || address - module->handle >= headers->image_size) return std::nullopt;
  ModuleInfo info;
  info.base = module->handle;
  info.image_size = headers->image_size;
  info.path = module->file_name;
  info.is_main = module->handle ==
                 static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
  return info;
}

std::string LiveAddressSpace::ExportName(uint32_t address) const {
  const auto module = ModuleOf(address);
  if (!module) return {};
  return ModuleExportName(module->base, address);
}

const LiveAddressSpace& LiveSpace() {
  static const LiveAddressSpace space;
  return space;
}

}  // namespace trace
