#include "trace/stack/win/process_memory_win.h"

#include "trace/pe/export_name.h"
#include "trace/pe/pe_image.h"
#include "trace/pe/win/live_address_space_win.h"

namespace trace {

ProcessMemory::ProcessMemory() : CachedAddressSpace(LiveSpace()) {}

std::optional<ModuleInfo> ProcessMemory::FindModule(uint32_t address) const {
  const std::optional<MemoryRegion> region = Region(address);
  if (!region || !region->committed || region->allocation_base == 0) return std::nullopt;
  // The allocation base is an address of the allocation too: its answer stands for all.
  const std::optional<ModuleInfo> module = region->allocation_base == address
                                               ? inner().ModuleOf(address)
                                               : ModuleOf(region->allocation_base);
  if (!module || address - module->base >= module->image_size) return std::nullopt;
  return module;
}

std::string ProcessMemory::FindExportName(uint32_t address) const {
  const std::optional<ModuleInfo> module = ModuleOf(address);
  if (!module) return {};
  const std::optional<PeImage> image = PeImage::Open(*this, module->base);
  if (!image) return {};
  return DemangleExportName(image->ExportNameAt(address));
}

}  // namespace trace
