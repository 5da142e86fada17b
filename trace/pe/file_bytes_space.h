// The bytes of a file as an address space at address 0, to read a PE file's headers and
// directories by their file offsets before (or without) mapping it.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "trace/pe/address_space.h"

namespace trace {

class FileBytesSpace : public AddressSpace {
 public:
  // Reads bytes, which must outlive the space.
  explicit FileBytesSpace(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    if (uint64_t{address} + count > bytes_.size()) return false;
    if (count) std::memcpy(buffer, bytes_.data() + address, count);
    return true;
  }
  std::optional<MemoryRegion> Region(uint32_t) const override { return std::nullopt; }
  std::optional<ModuleInfo> ModuleOf(uint32_t) const override { return std::nullopt; }
  std::string ExportName(uint32_t) const override { return {}; }

 private:
  const std::vector<uint8_t>& bytes_;
};

}  // namespace trace
