// Address range lists: .debug_ranges (versions 2 to 4) and .debug_rnglists (version 5).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace symtool {

// A half-open address range [begin, end).
struct AddressRange {
  uint64_t begin = 0;
  uint64_t end = 0;
};

// Longest range list that is read; longer ones are cut there.
inline constexpr size_t kMaxRangeListEntries = 65536;

// Resolves an index into .debug_addr; false when the index is out of range.
class AddressIndex {
 public:
  AddressIndex() = default;
  AddressIndex(std::string_view section, uint64_t base, uint8_t address_size)
      : section_(section), base_(base), address_size_(address_size) {}
  bool Lookup(uint64_t index, uint64_t& address) const;

 private:
  std::string_view section_;
  uint64_t base_ = 0;
  uint8_t address_size_ = 4;
};

// The non-empty ranges of the version 2-4 list at offset; base is the unit's base address.
// ok is false when the list runs past the end of the section.
std::vector<AddressRange> ReadRangeList(std::string_view section, uint64_t offset,
                                        uint8_t address_size, uint64_t base, bool& ok);

// The non-empty ranges of the version 5 list at offset; base is the unit's base address.
std::vector<AddressRange> ReadRngList(std::string_view section, uint64_t offset,
                                      uint8_t address_size, uint64_t base,
                                      const AddressIndex& addresses, bool& ok);

}  // namespace symtool
