// The DWARF sections of one module, as spans of its file. Absent sections are empty.
#pragma once

#include <string_view>

namespace symtool {

struct DwarfSections {
  std::string_view info;         // .debug_info: the units and their entries
  std::string_view abbrev;       // .debug_abbrev: the entries' layouts
  std::string_view str;          // .debug_str: strings referenced by offset
  std::string_view line_str;     // .debug_line_str: strings of the line tables (version 5)
  std::string_view str_offsets;  // .debug_str_offsets: string offsets by index (version 5)
  std::string_view addr;         // .debug_addr: addresses by index (version 5)
  std::string_view line;         // .debug_line: the line number programs
  std::string_view ranges;       // .debug_ranges: address range lists (version 4)
  std::string_view rnglists;     // .debug_rnglists: address range lists (version 5)
};

}  // namespace symtool
