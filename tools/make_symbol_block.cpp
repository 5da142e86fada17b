// make_symbol_block: the symbol data of a linked executable, from its DWARF.
//
//   make_symbol_block [options] EXE
//     --block FILE   the embedded block (marker, length, version, enciphered compressed payload)
//     --rc FILE      a resource script that puts that block into a program as "KIV" "EXCEPT"
//     --map FILE     the same symbols as map text
//     --td32 FILE    the same symbols as TD32 data
//     --table FILE   the symbol table as plain text: "unit OFFSET LENGTH NAME",
//                    "function OFFSET NAME", "line OFFSET LINE", "entry OFFSET" (hexadecimal
//                    offsets from the code start, which the first line gives: "code START END")
//     --stats        counts of what was read and kept, on standard error
//
//   make_symbol_block --same-code FIRST SECOND
//     exits 0 when both links hold the same code and data at the same addresses (only the
//     resources, relocations and debugging data may differ), else 1 with the difference
//
// Exits 1 when the file is not a PE32 image or an output cannot be written.

#include <cstdio>
#include <fstream>
#include <string>

#include "tools/symtool/code_identity.h"
#include "tools/symtool/pe_debug_image.h"
#include "tools/symtool/symbol_table_builder.h"
#include "trace/symbols/map_text_writer.h"
#include "trace/symbols/symbol_block_key.h"
#include "trace/symbols/symbol_block_writer.h"
#include "trace/symbols/td32_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: make_symbol_block [--block FILE] [--rc FILE] [--map FILE] [--td32 FILE]\n"
               "                         [--table FILE] [--stats] EXE\n"
               "       make_symbol_block --same-code FIRST SECOND\n");
  return 2;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) std::fprintf(stderr, "make_symbol_block: cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

std::string TableText(const trace::SymbolTable& table, const symtool::PeDebugImage& image) {
  std::string text = "code " + Hex(image.code_start()) + " " + Hex(image.code_end()) + "\n";
  for (const auto& range : table.ranges)
    text += "unit " + Hex(range.offset) + " " + Hex(range.length) + " " + range.unit + "\n";
  for (const auto& function : table.functions)
    text += "function " + Hex(function.offset) + " " + function.name + "\n";
  for (const auto& line : table.lines)
    text += "line " + Hex(line.offset) + " " + std::to_string(line.line) + "\n";
  if (table.entry_point) text += "entry " + Hex(*table.entry_point) + "\n";
  return text;
}

// A resource script line that names the block file; backslashes and quotes are doubled or
// escaped as the resource compiler reads them.
std::string ResourceScript(const std::string& block_path) {
  std::string quoted;
  for (char c : block_path) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return std::string(trace::kSymbolResourceName) + " " + trace::kSymbolResourceType + " \"" +
         quoted + "\"\n";
}

int SameCode(const std::string& first_path, const std::string& second_path) {
  std::string error;
  const auto first = symtool::PeDebugImage::Load(first_path, error);
  const auto second = first ? symtool::PeDebugImage::Load(second_path, error) : std::nullopt;
  if (!first || !second) {
    std::fprintf(stderr, "make_symbol_block: %s\n", error.c_str());
    return 1;
  }
  if (const auto difference = symtool::CodeDifference(*first, *second)) {
    std::fprintf(stderr, "make_symbol_block: %s and %s: %s\n", first_path.c_str(),
                 second_path.c_str(), difference->c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--same-code") return SameCode(argv[2], argv[3]);
  std::string block_path, rc_path, map_path, td32_path, table_path, exe_path;
  bool stats = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    if (arg == "--block") {
      if (!value(block_path)) return Usage();
    } else if (arg == "--rc") {
      if (!value(rc_path)) return Usage();
    } else if (arg == "--map") {
      if (!value(map_path)) return Usage();
    } else if (arg == "--td32") {
      if (!value(td32_path)) return Usage();
    } else if (arg == "--table") {
      if (!value(table_path)) return Usage();
    } else if (arg == "--stats") {
      stats = true;
    } else if (!arg.empty() && arg[0] != '-' && exe_path.empty()) {
      exe_path = arg;
    } else {
      return Usage();
    }
  }
  if (exe_path.empty() || (!rc_path.empty() && block_path.empty())) return Usage();

  std::string error;
  const auto image = symtool::PeDebugImage::Load(exe_path, error);
  if (!image) {
    std::fprintf(stderr, "make_symbol_block: %s\n", error.c_str());
    return 1;
  }
  symtool::SymbolTableStats counts;
  const trace::SymbolTable table = symtool::BuildSymbolTable(*image, &counts);
  std::string block;
  if (!block_path.empty()) {
    block = trace::WriteSymbolBlock(table);
    if (block.empty()) {
      std::fprintf(stderr, "make_symbol_block: %s: the symbols do not fit a block\n",
                   exe_path.c_str());
      return 1;
    }
  }
  if (stats) {
    std::fprintf(stderr,
                 "%s: %zu units (%zu malformed), %zu function ranges (%zu unnamed), %zu line "
                 "rows (%zu overlapping sequences left out), %zu functions from COFF symbols; "
                 "table: %zu unit ranges, %zu "
                 "functions, %zu lines; block %zu bytes\n",
                 exe_path.c_str(), counts.units, counts.malformed_units, counts.functions,
                 counts.unnamed_functions, counts.line_rows, counts.dropped_sequences,
                 counts.symbol_functions, table.ranges.size(), table.functions.size(),
                 table.lines.size(), block.size());
  }
  bool ok = true;
  if (!block_path.empty()) ok &= WriteFile(block_path, block);
  if (!rc_path.empty()) ok &= WriteFile(rc_path, ResourceScript(block_path));
  if (!map_path.empty()) ok &= WriteFile(map_path, trace::WriteMapText(table));
  if (!td32_path.empty()) ok &= WriteFile(td32_path, trace::WriteTd32(table));
  if (!table_path.empty()) ok &= WriteFile(table_path, TableText(table, *image));
  return ok ? 0 : 1;
}
