// An address space of a few byte blocks, with optional modules and export names, for
// tests of the decoder, the text and the function parser.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "trace/pe/address_space.h"

namespace trace::testing {

class FakeAddressSpace : public AddressSpace {
 public:
  // Places bytes at address (one committed region per call).
  void Add(uint32_t address, std::vector<uint8_t> bytes) { blocks_[address] = std::move(bytes); }
  // Declares a module over [base, base + size).
  void AddModule(uint32_t base, uint32_t size, std::string path, bool is_main) {
    modules_.push_back({base, size, std::move(path), is_main});
  }
  // Names an exported function.
  void AddExport(uint32_t address, std::string name) { exports_[address] = std::move(name); }

  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    auto it = blocks_.upper_bound(address);
    if (it == blocks_.begin()) return false;
    --it;
    const uint64_t offset = address - it->first;
    if (offset + count > it->second.size()) return false;
    if (count) std::memcpy(buffer, it->second.data() + offset, count);
    return true;
  }
  std::optional<MemoryRegion> Region(uint32_t address) const override {
    auto it = blocks_.upper_bound(address);
    if (it == blocks_.begin()) return std::nullopt;
    --it;
    if (address - it->first >= it->second.size()) return std::nullopt;
    return MemoryRegion{it->first, static_cast<uint32_t>(it->second.size()), it->first, true};
  }
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override {
    for (const auto& m : modules_) {
      if (address >= m.base && address - m.base < m.image_size) return m;
    }
    return std::nullopt;
  }
  std::string ExportName(uint32_t address) const override {
    auto it = exports_.find(address);
    return it == exports_.end() ? std::string() : it->second;
  }

 private:
  std::map<uint32_t, std::vector<uint8_t>> blocks_;
  std::vector<ModuleInfo> modules_;
  std::map<uint32_t, std::string> exports_;
};

}  // namespace trace::testing
