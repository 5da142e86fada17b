// Fuzzes the symbol tool's reading of DWARF and PE files: arbitrary DWARF sections (first
// byte even) or an arbitrary PE file (first byte odd) give a symbol table without faults, in
// bounded time and memory, and the table keeps its order: unit ranges by offset without
// overlap inside the code, functions and lines by strictly rising offset inside the code.
//
// Sections input: after the mode byte, nine sections in the order of DwarfSections (info,
// abbrev, str, line_str, str_offsets, addr, line, ranges, rnglists), each a little-endian
// 16-bit length and that many bytes (cut to what remains).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/symtool/pe_debug_image.h"
#include "tools/symtool/symbol_table_builder.h"
#include "trace/symbols/symbol_block_writer.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

namespace {

constexpr uint32_t kCodeStart = 0x401000;
constexpr uint32_t kCodeEnd = 0x481000;

void CheckTable(const trace::SymbolTable& table, uint32_t code_size) {
  uint64_t covered = 0;
  for (const auto& range : table.ranges) {
    CHECK(range.offset >= covered);
    CHECK(range.length > 0);
    CHECK(uint64_t{range.offset} + range.length <= code_size);
    covered = uint64_t{range.offset} + range.length;
  }
  for (size_t i = 0; i < table.functions.size(); ++i) {
    CHECK(table.functions[i].offset < code_size);
    CHECK(!table.functions[i].name.empty());
    CHECK(table.functions[i].name.size() <= trace::kMaxPackedStringLength);
    if (i > 0) CHECK(table.functions[i].offset > table.functions[i - 1].offset);
  }
  for (size_t i = 0; i < table.lines.size(); ++i) {
    CHECK(table.lines[i].offset < code_size);
    if (i > 0) CHECK(table.lines[i].offset > table.lines[i - 1].offset);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    std::string error;
    const auto image = symtool::PeDebugImage::FromBytes(std::string(input), error);
    if (!image) return 0;
    const trace::SymbolTable table = symtool::BuildSymbolTable(*image);
    CheckTable(table, image->code_end() - image->code_start());
    if (table.entry_point) CHECK(*table.entry_point < image->code_end() - image->code_start());
    return 0;
  }
  symtool::DwarfSections dwarf;
  std::string_view* parts[] = {&dwarf.info,     &dwarf.abbrev,      &dwarf.str,
                               &dwarf.line_str, &dwarf.str_offsets, &dwarf.addr,
                               &dwarf.line,     &dwarf.ranges,      &dwarf.rnglists};
  std::string_view rest = input;
  for (std::string_view* part : parts) {
    if (rest.size() < 2) break;
    size_t length = static_cast<uint8_t>(rest[0]) | static_cast<uint8_t>(rest[1]) << 8;
    rest.remove_prefix(2);
    if (length > rest.size()) length = rest.size();
    *part = rest.substr(0, length);
    rest.remove_prefix(length);
  }
  CheckTable(symtool::BuildSymbolTable(dwarf, kCodeStart, kCodeEnd), kCodeEnd - kCodeStart);
  return 0;
}
