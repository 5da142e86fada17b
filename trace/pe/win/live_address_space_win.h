// The address space of the running process: reads that fail instead of faulting, regions
// from VirtualQuery, modules and their export names.
#pragma once

#include "trace/pe/address_space.h"

namespace trace {

// The running process as an AddressSpace. Stateless; one instance serves every thread.
class LiveAddressSpace : public AddressSpace {
 public:
  // Reads through TryReadMemory.
  bool Read(uint32_t address, void* buffer, uint32_t count) const override;
  // The region VirtualQuery reports; none for an address it does not describe.
  std::optional<MemoryRegion> Region(uint32_t address) const override;
  // The loaded module whose image (allocation base + SizeOfImage) holds the address.
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override;
  // The demangled name of the export that starts at address, or empty.
  std::string ExportName(uint32_t address) const override;
};

// The process-wide instance.
const LiveAddressSpace& LiveSpace();

}  // namespace trace
