// An address space whose bytes in one range come from a copy taken earlier: a stack as it
// was when an exception was raised, traced after the stack has been unwound and reused.
// Everything else (code, regions, modules, export names) comes from the space beneath.
#pragma once

#include <cstdint>
#include <span>

#include "trace/pe/address_space.h"

namespace trace {

class StackCopySpace : public AddressSpace {
 public:
  // copy holds the bytes from base on; both must outlive the space.
  StackCopySpace(const AddressSpace& beneath, uint32_t base, std::span<const uint8_t> copy)
      : beneath_(beneath), base_(base), copy_(copy) {}

  bool Read(uint32_t address, void* buffer, uint32_t count) const override;
  std::optional<MemoryRegion> Region(uint32_t address) const override {
    return beneath_.Region(address);
  }
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override {
    return beneath_.ModuleOf(address);
  }
  std::string ExportName(uint32_t address) const override { return beneath_.ExportName(address); }

 private:
  const AddressSpace& beneath_;
  uint32_t base_;
  std::span<const uint8_t> copy_;
};

}  // namespace trace
