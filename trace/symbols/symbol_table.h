// The symbol data of one module as the build tools produce it and the writers of the block,
// map text and TD32 formats consume it. Every address is an offset from the module's code
// start (its first code section's address), as the block and the map text store them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trace {

// A contiguous run of code that belongs to one unit (source file without folder and
// extension). A unit whose code lies in several places has several ranges.
struct SymbolUnitRange {
  std::string unit;
  uint32_t offset = 0;
  uint32_t length = 0;
};

// A function entry: its readable name and the offset of its first instruction.
struct SymbolFunction {
  std::string name;
  uint32_t offset = 0;
};

// The source line that the code from `offset` on (to the next line's offset) was made from.
struct SymbolLine {
  int32_t line = 0;
  uint32_t offset = 0;
};

struct SymbolTable {
  std::vector<SymbolUnitRange> ranges;    // by offset, not overlapping
  std::vector<SymbolFunction> functions;  // by offset
  std::vector<SymbolLine> lines;          // by offset, one per distinct offset
  std::optional<uint32_t> entry_point;    // offset of the program's entry point
};

}  // namespace trace
