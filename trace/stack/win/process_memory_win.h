// The running process as the stack tracer reads it during one trace: the live address space
// through a page cache, modules found once per allocation, export names read from the
// export directories through the cached pages.
#pragma once

#include <optional>
#include <unordered_map>

#include "trace/stack/cached_address_space.h"

namespace trace {

// LiveSpace() cached for one trace at a time (Forget() between traces).
class ProcessMemory : public CachedAddressSpace {
 public:
  ProcessMemory();
  // The same over a view of LiveSpace() (a benchmark's, timing every call).
  explicit ProcessMemory(const AddressSpace& live) : CachedAddressSpace(live) {}

 protected:
  // The module at the allocation base of address (a loaded image is one allocation), asked of
  // the system once per allocation.
  std::optional<ModuleInfo> FindModule(uint32_t address) const override;
  // The demangled name of the export at address in its module, as LiveSpace() finds it, read
  // through the cached pages.
  std::string FindExportName(uint32_t address) const override;
};

}  // namespace trace
