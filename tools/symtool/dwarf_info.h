// The units and functions of a module's .debug_info (DWARF versions 2 to 5), as far as the
// symbol block needs them: each unit's name, code ranges and line program, and each function
// with code, its names and its code ranges. Entries that only declare, inlined copies and
// types are walked but not kept. Malformed units are skipped from the first fault on; the
// reading is bounded by the sizes of the sections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/symtool/dwarf_range_list.h"
#include "tools/symtool/dwarf_sections.h"

namespace symtool {

// Largest number of code ranges kept over all functions and units of a module.
inline constexpr size_t kMaxTotalRanges = size_t{1} << 22;

// A compilation unit.
struct DwarfUnit {
  std::string name;                     // DW_AT_name: the main source file as compiled
  std::vector<AddressRange> ranges;     // its code (DW_AT_low_pc/high_pc or DW_AT_ranges)
  std::optional<uint64_t> line_offset;  // DW_AT_stmt_list: its line program in .debug_line
  uint8_t address_size = 4;
  uint16_t version = 0;
};

// A function with code (a DW_TAG_subprogram that has an address range).
struct DwarfFunction {
  std::string linkage_name;          // the mangled name, through declaration and origin links
  std::string name;                  // the name qualified by its namespaces and classes
  std::vector<AddressRange> ranges;  // its code, in the order the entry lists them
  uint32_t unit = 0;                 // index of its unit
};

struct DwarfInfo {
  std::vector<DwarfUnit> units;
  std::vector<DwarfFunction> functions;
  size_t malformed_units = 0;  // units whose reading stopped at a fault
};

// Reads the units and functions of the sections.
DwarfInfo ReadDwarfInfo(const DwarfSections& sections);

}  // namespace symtool
