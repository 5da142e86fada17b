#include "crash/win/import_patch_win.h"

#include <windows.h>

#include <algorithm>

#include "trace/system/win/os_info_win.h"
#include "trace/system/win/try_read_memory_win.h"

namespace crash {

namespace {

constexpr uint32_t kDescriptorSize = 20;
// More descriptors or slots than any real module has: a table without its terminator.
constexpr uint32_t kMaxDescriptors = 4096;
constexpr uint32_t kMaxSlots = 65536;

bool Read32(uint32_t address, uint32_t& value) {
  return trace::TryReadMemory(address, &value, 4);
}

bool WriteSlot(uint32_t slot, uint32_t value) {
  void* address = reinterpret_cast<void*>(static_cast<uintptr_t>(slot));
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(address, &info, sizeof(info)) == 0 || info.State != MEM_COMMIT) return false;
  const bool executable = (info.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ |
                                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
  DWORD old = 0;
  if (!VirtualProtect(address, 4, executable ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE, &old)) {
    return false;
  }
  InterlockedExchange(static_cast<volatile LONG*>(address), static_cast<LONG>(value));
  DWORD ignored = 0;
  VirtualProtect(address, 4, old, &ignored);
  return true;
}

}  // namespace

std::vector<uint32_t> ProcessModules() {
  std::vector<uint32_t> modules;
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  uintptr_t address = reinterpret_cast<uintptr_t>(system.lpMinimumApplicationAddress);
  uintptr_t end = reinterpret_cast<uintptr_t>(system.lpMaximumApplicationAddress);
  if (trace::OperatingSystem().is_9x) end = std::min<uintptr_t>(end, 0x80000000u);
  char name[MAX_PATH];
  while (address < end) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info)) == 0) break;
    const uintptr_t base = reinterpret_cast<uintptr_t>(info.BaseAddress);
    if (info.State == MEM_COMMIT && info.AllocationBase == info.BaseAddress &&
        GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), name, sizeof(name)) != 0) {
      modules.push_back(static_cast<uint32_t>(base));
    }
    const uintptr_t next = base + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return modules;
}

ImportPatchResult PatchImportSlots(uint32_t module, std::span<const uint32_t> from, uint32_t to) {
  ImportPatchResult result;
  uint16_t mz = 0;
  uint32_t pe_offset = 0;
  uint32_t signature = 0;
  if (!trace::TryReadMemory(module, &mz, 2) || mz != 0x5A4D) return result;
  if (!Read32(module + 0x3C, pe_offset) || pe_offset > 0x10000000) return result;
  const uint32_t nt = module + pe_offset;
  if (!Read32(nt, signature) || signature != 0x00004550) return result;
  const uint32_t optional = nt + 24;
  uint16_t magic = 0;
  uint32_t image_size = 0;
  uint32_t directory_count = 0;
  uint32_t import_rva = 0;
  uint32_t import_size = 0;
  if (!trace::TryReadMemory(optional, &magic, 2) || magic != 0x10B) return result;
  if (!Read32(optional + 56, image_size) || !Read32(optional + 92, directory_count) ||
      directory_count < 2 || !Read32(optional + 104, import_rva) ||
      !Read32(optional + 108, import_size)) {
    return result;
  }
  if (import_rva == 0 || import_rva >= image_size) return result;
  const uint64_t directory_end = uint64_t{import_rva} + import_size;
  for (uint32_t i = 0; i < kMaxDescriptors; ++i) {
    const uint64_t descriptor_rva = import_rva + uint64_t{i} * kDescriptorSize;
    if (descriptor_rva + kDescriptorSize > image_size) break;
    const uint32_t descriptor = module + static_cast<uint32_t>(descriptor_rva);
    uint32_t name_rva = 0;
    uint32_t table_rva = 0;
    if (!Read32(descriptor + 12, name_rva) || !Read32(descriptor + 16, table_rva)) break;
    if (name_rva == 0 && table_rva == 0) break;
    // An address table past the directory's end or outside the image marks the directory
    // as damaged.
    if (table_rva == 0 || table_rva >= directory_end || table_rva >= image_size) {
      result.invalid = true;
      break;
    }
    for (uint32_t s = 0; s < kMaxSlots; ++s) {
      const uint64_t slot_rva = uint64_t{table_rva} + 4ull * s;
      if (slot_rva + 4 > image_size) break;
      const uint32_t slot = module + static_cast<uint32_t>(slot_rva);
      uint32_t value = 0;
      if (!Read32(slot, value) || value == 0) break;
      if (std::find(from.begin(), from.end(), value) == from.end()) continue;
      if (WriteSlot(slot, to)) ++result.slots_changed;
    }
  }
  return result;
}

}  // namespace crash
