// The abbreviation tables of .debug_abbrev: for each abbreviation code the entry's tag,
// whether children follow, and its attributes with their forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace symtool {

// One attribute of an abbreviation.
struct AbbrevAttribute {
  uint64_t name = 0;           // DW_AT_*
  uint64_t form = 0;           // DW_FORM_*
  int64_t implicit_value = 0;  // the value of a DW_FORM_implicit_const attribute
};

// One abbreviation: the layout of entries that carry its code.
struct Abbrev {
  uint64_t code = 0;  // the code entries refer to it by (never 0)
  uint64_t tag = 0;   // DW_TAG_*
  bool has_children = false;
  std::vector<AbbrevAttribute> attributes;
};

class AbbrevTable {
 public:
  // The table at offset of the section; none when it runs past the end of the section.
  static std::optional<AbbrevTable> Read(std::string_view section, uint64_t offset);

  // The abbreviation with this code; null when the table has none.
  const Abbrev* Find(uint64_t code) const;

 private:
  std::vector<Abbrev> abbrevs_;    // in table order
  std::vector<uint32_t> by_code_;  // index + 1 into abbrevs_ for small codes, 0 when none
  std::vector<std::pair<uint64_t, uint32_t>> large_codes_;  // (code, index), sorted by code
};

}  // namespace symtool
