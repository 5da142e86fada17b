#include "tools/symtool/dwarf_abbrev.h"

#include <algorithm>

#include "tools/symtool/byte_cursor.h"

namespace symtool {
namespace {

constexpr uint64_t kFormImplicitConst = 0x21;
// Codes below this are found by direct index; compilers number them from 1 upwards.
constexpr uint64_t kDirectCodes = 4096;

}  // namespace

std::optional<AbbrevTable> AbbrevTable::Read(std::string_view section, uint64_t offset) {
  if (offset > section.size()) return std::nullopt;
  ByteCursor cursor(section, static_cast<size_t>(offset));
  AbbrevTable table;
  while (true) {
    Abbrev abbrev;
    abbrev.code = cursor.Uleb();
    if (!cursor.ok()) return std::nullopt;
    if (abbrev.code == 0) break;
    abbrev.tag = cursor.Uleb();
    abbrev.has_children = cursor.U8() != 0;
    while (cursor.ok()) {
      AbbrevAttribute attribute;
      attribute.name = cursor.Uleb();
      attribute.form = cursor.Uleb();
      if (attribute.form == kFormImplicitConst) attribute.implicit_value = cursor.Sleb();
      if (attribute.name == 0 && attribute.form == 0) break;
      abbrev.attributes.push_back(attribute);
    }
    if (!cursor.ok()) return std::nullopt;
    if (abbrev.code < kDirectCodes) {
      if (table.by_code_.size() <= abbrev.code) table.by_code_.resize(abbrev.code + 1, 0);
      // The first definition of a code counts.
      if (table.by_code_[abbrev.code] == 0)
        table.by_code_[abbrev.code] = static_cast<uint32_t>(table.abbrevs_.size() + 1);
    } else {
      table.large_codes_.emplace_back(abbrev.code, static_cast<uint32_t>(table.abbrevs_.size()));
    }
    table.abbrevs_.push_back(std::move(abbrev));
  }
  // Stable, so that the first definition of a code stays in front.
  std::stable_sort(table.large_codes_.begin(), table.large_codes_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return table;
}

const Abbrev* AbbrevTable::Find(uint64_t code) const {
  if (code < by_code_.size()) {
    const uint32_t index = by_code_[code];
    return index ? &abbrevs_[index - 1] : nullptr;
  }
  if (code < kDirectCodes) return nullptr;
  const auto it = std::lower_bound(large_codes_.begin(), large_codes_.end(), code,
                                   [](const auto& entry, uint64_t c) { return entry.first < c; });
  return it != large_codes_.end() && it->first == code ? &abbrevs_[it->second] : nullptr;
}

}  // namespace symtool
