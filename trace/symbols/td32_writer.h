// Writes a module's symbol table as TD32 debug data ("FB09"): a module subsection (0x120) per
// unit with its ranges as code segments, a source-module subsection (0x127) per unit with the
// lines inside its ranges, the function names as publics (global publics 0x129, or aligned
// symbols 0x125 with procedure records), the names subsection (0x130), and one subsection
// directory at the end. Offsets are from the start of the data; all integers little-endian.
//
// What the format cannot carry: names are cut to 255 bytes, line numbers to 16 bits, lines
// outside every unit range are left out, and the entry point is not written.
#pragma once

#include <string>

#include "trace/symbols/symbol_table.h"

namespace trace {

// Where the function names go.
enum class Td32PublicsForm {
  kGlobalPublics,   // subsection 0x129, public records (0x20)
  kAlignedSymbols,  // subsection 0x125, global procedure records (0x205)
};

// TD32 subsection types.
inline constexpr uint16_t kTd32Module = 0x120;
inline constexpr uint16_t kTd32AlignedSymbols = 0x125;
inline constexpr uint16_t kTd32SourceModule = 0x127;
inline constexpr uint16_t kTd32GlobalPublics = 0x129;
inline constexpr uint16_t kTd32Names = 0x130;

// The TD32 data of the table.
std::string WriteTd32(const SymbolTable& table,
                      Td32PublicsForm publics = Td32PublicsForm::kGlobalPublics);

}  // namespace trace
