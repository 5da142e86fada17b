#include "tools/symtool/dwarf_range_list.h"

#include "tools/symtool/byte_cursor.h"

namespace symtool {
namespace {

enum : uint8_t {
  kEndOfList = 0,
  kBaseAddressx = 1,
  kStartxEndx = 2,
  kStartxLength = 3,
  kOffsetPair = 4,
  kBaseAddress = 5,
  kStartEnd = 6,
  kStartLength = 7,
};

void Add(std::vector<AddressRange>& ranges, uint64_t begin, uint64_t end) {
  if (end > begin) ranges.push_back({begin, end});
}

}  // namespace

bool AddressIndex::Lookup(uint64_t index, uint64_t& address) const {
  if (address_size_ == 0 || address_size_ > 8) return false;
  if (index > (section_.size() / address_size_)) return false;
  const uint64_t at = base_ + index * address_size_;
  if (at > section_.size() || section_.size() - at < address_size_) return false;
  ByteCursor cursor(section_, static_cast<size_t>(at));
  address = cursor.Fixed(address_size_);
  return cursor.ok();
}

std::vector<AddressRange> ReadRangeList(std::string_view section, uint64_t offset,
                                        uint8_t address_size, uint64_t base, bool& ok) {
  std::vector<AddressRange> ranges;
  ok = false;
  if (offset > section.size() || address_size == 0 || address_size > 8) return ranges;
  const uint64_t base_selector =
      address_size == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * address_size)) - 1;
  ByteCursor cursor(section, static_cast<size_t>(offset));
  for (size_t entries = 0; entries < kMaxRangeListEntries; ++entries) {
    const uint64_t begin = cursor.Fixed(address_size);
    const uint64_t end = cursor.Fixed(address_size);
    if (!cursor.ok()) return ranges;
    if (begin == 0 && end == 0) break;
    if (begin == base_selector) {
      base = end;
      continue;
    }
    Add(ranges, base + begin, base + end);
  }
  ok = true;
  return ranges;
}

std::vector<AddressRange> ReadRngList(std::string_view section, uint64_t offset,
                                      uint8_t address_size, uint64_t base,
                                      const AddressIndex& addresses, bool& ok) {
  std::vector<AddressRange> ranges;
  ok = false;
  if (offset > section.size() || address_size == 0 || address_size > 8) return ranges;
  ByteCursor cursor(section, static_cast<size_t>(offset));
  for (size_t entries = 0; entries < kMaxRangeListEntries; ++entries) {
    const uint8_t kind = cursor.U8();
    if (!cursor.ok()) return ranges;
    uint64_t first = 0;
    uint64_t second = 0;
    switch (kind) {
      case kEndOfList:
        ok = true;
        return ranges;
      case kBaseAddressx:
        if (!addresses.Lookup(cursor.Uleb(), base)) return ranges;
        break;
      case kStartxEndx:
        if (!addresses.Lookup(cursor.Uleb(), first) || !addresses.Lookup(cursor.Uleb(), second))
          return ranges;
        Add(ranges, first, second);
        break;
      case kStartxLength:
        if (!addresses.Lookup(cursor.Uleb(), first)) return ranges;
        second = cursor.Uleb();
        Add(ranges, first, first + second);
        break;
      case kOffsetPair:
        first = cursor.Uleb();
        second = cursor.Uleb();
        Add(ranges, base + first, base + second);
        break;
      case kBaseAddress:
        base = cursor.Fixed(address_size);
        break;
      case kStartEnd:
        first = cursor.Fixed(address_size);
        second = cursor.Fixed(address_size);
        Add(ranges, first, second);
        break;
      case kStartLength:
        first = cursor.Fixed(address_size);
        second = cursor.Uleb();
        Add(ranges, first, first + second);
        break;
      default:
        return ranges;
    }
    if (!cursor.ok()) return ranges;
  }
  // A list longer than the limit is cut; what was read stands.
  ok = true;
  return ranges;
}

}  // namespace symtool
