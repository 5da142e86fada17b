// The line number program of one unit (.debug_line, versions 2 to 5): the rows of its
// address-to-line matrix in program order. Only what the symbol block needs is kept: the
// address, the line, and where a sequence ends.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace symtool {

// One row of the matrix.
struct DwarfLineRow {
  uint64_t address = 0;
  uint32_t line = 0;
  bool is_stmt = false;       // a recommended breakpoint location
  bool end_sequence = false;  // the first address after a sequence; its line means nothing
};

// The rows of the program at offset in the section, in program order. A program that runs
// past its end or has a malformed header gives the rows read until then and ok false.
// address_size is the unit's; DW_LNE_set_address operands of another size are read with it.
std::vector<DwarfLineRow> ReadLineProgram(std::string_view section, uint64_t offset,
                                          uint8_t address_size, bool& ok);

}  // namespace symtool
