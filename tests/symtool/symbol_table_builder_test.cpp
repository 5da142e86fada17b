// The DWARF reader and the symbol table built from it, on small hand-made sections: names
// through declaration and origin links and scopes, range lists, line programs, and the
// rules that make one table of units, functions and lines. Also: every truncation of the
// sections reads without fault.

#include "tools/symtool/symbol_table_builder.h"

#include <gtest/gtest.h>

#include "tests/symtool/dwarf_bytes.h"
#include "tools/symtool/dwarf_info.h"
#include "tools/symtool/dwarf_line_program.h"

namespace {

using symtool_test::DwarfBytes;

constexpr uint32_t kCode = 0x401000;

// Abbreviations used by the units below.
enum Abbrev : uint8_t {
  kUnit = 1,        // compile unit: name, ranges, stmt_list
  kNamespace,       // name
  kClass,           // name
  kDeclaration,     // subprogram: name, linkage name, declaration
  kDefinition,      // subprogram: declaration link, low_pc, high_pc (length)
  kRangedFunction,  // subprogram: name, ranges
  kAnonymous,       // namespace without name
  kOutOfLine,       // subprogram: abstract origin, low_pc, high_pc (address)
  kUnitLow,         // compile unit: name, low_pc, high_pc (length), stmt_list
};

std::string AbbrevTable() {
  DwarfBytes b;
  b.Uleb(kUnit).Uleb(0x11).U8(1).Uleb(0x03).Uleb(0x08).Uleb(0x55).Uleb(0x17);
  b.Uleb(0x10).Uleb(0x17).Uleb(0).Uleb(0);
  b.Uleb(kNamespace).Uleb(0x39).U8(1).Uleb(0x03).Uleb(0x08).Uleb(0).Uleb(0);
  b.Uleb(kClass).Uleb(0x02).U8(1).Uleb(0x03).Uleb(0x08).Uleb(0).Uleb(0);
  b.Uleb(kDeclaration).Uleb(0x2e).U8(0).Uleb(0x03).Uleb(0x08).Uleb(0x6e).Uleb(0x08);
  b.Uleb(0x3c).Uleb(0x19).Uleb(0).Uleb(0);
  b.Uleb(kDefinition).Uleb(0x2e).U8(0).Uleb(0x47).Uleb(0x13).Uleb(0x11).Uleb(0x01);
  b.Uleb(0x12).Uleb(0x06).Uleb(0).Uleb(0);
  b.Uleb(kRangedFunction).Uleb(0x2e).U8(0).Uleb(0x03).Uleb(0x08).Uleb(0x55).Uleb(0x17);
  b.Uleb(0).Uleb(0);
  b.Uleb(kAnonymous).Uleb(0x39).U8(1).Uleb(0).Uleb(0);
  b.Uleb(kOutOfLine).Uleb(0x2e).U8(0).Uleb(0x31).Uleb(0x13).Uleb(0x11).Uleb(0x01);
  b.Uleb(0x12).Uleb(0x01).Uleb(0).Uleb(0);
  b.Uleb(kUnitLow).Uleb(0x11).U8(1).Uleb(0x03).Uleb(0x08).Uleb(0x11).Uleb(0x01);
  b.Uleb(0x12).Uleb(0x06).Uleb(0x10).Uleb(0x17).Uleb(0).Uleb(0);
  b.Uleb(0);
  return b.str();
}

// Range lists (version 5): the header, then the lists at the offsets noted.
struct RangeLists {
  std::string bytes;
  uint32_t unit_list = 0;      // unit A: [0, 100) and [104, 180), and a discarded [0, 10)
  uint32_t function_list = 0;  // Hook: [40, 50) from the base and [100, 110) absolute
};

RangeLists MakeRangeLists() {
  DwarfBytes b;
  b.U32(0).U16(5).U8(4).U8(0).U32(0);
  RangeLists lists;
  lists.unit_list = static_cast<uint32_t>(b.size());
  b.U8(6).U32(kCode).U32(kCode + 0x100);  // start_end
  b.U8(7).U32(kCode + 0x104).Uleb(0x7C);  // start_length
  b.U8(6).U32(0).U32(0x10);               // a copy the linker dropped
  b.U8(0);
  lists.function_list = static_cast<uint32_t>(b.size());
  b.U8(5).U32(kCode);                     // base_address
  b.U8(4).Uleb(0x40).Uleb(0x50);          // offset_pair
  b.U8(7).U32(kCode + 0x110).Uleb(0x10);  // start_length
  b.U8(0);
  b.Patch32(0, static_cast<uint32_t>(b.size() - 4));
  lists.bytes = b.str();
  return lists;
}

// A version 5 line program with one sequence per entry of rows: {address, line} pairs, the
// last pair giving the end address.
std::string LineProgram(const std::vector<std::vector<std::pair<uint32_t, int>>>& sequences) {
  DwarfBytes b;
  b.U32(0).U16(5).U8(4).U8(0);
  const size_t header_length_at = b.size();
  b.U32(0);
  const size_t header_start = b.size();
  b.U8(1).U8(1).U8(1).U8(static_cast<uint8_t>(-5)).U8(14).U8(13);
  for (uint8_t length : {0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1})
    b.U8(length);
  b.U8(1).Uleb(1).Uleb(0x08).Uleb(1).Str("/src");                            // directories
  b.U8(2).Uleb(1).Uleb(0x08).Uleb(2).Uleb(0x0b).Uleb(1).Str("a.cpp").U8(0);  // files
  b.Patch32(header_length_at, static_cast<uint32_t>(b.size() - header_start));
  for (const auto& rows : sequences) {
    b.U8(0).Uleb(5).U8(2).U32(rows[0].first);  // set_address
    int line = 1;
    uint32_t address = rows[0].first;
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
      b.U8(2).Uleb(rows[i].first - address);  // advance_pc
      b.U8(3).Sleb(rows[i].second - line);    // advance_line
      b.U8(1);                                // copy
      address = rows[i].first;
      line = rows[i].second;
    }
    b.U8(2).Uleb(rows.back().first - address);
    b.U8(0).Uleb(1).U8(1);  // end_sequence
  }
  b.Patch32(0, static_cast<uint32_t>(b.size() - 4));
  return b.str();
}

// Two units: A ("src/fw/form.cpp", ranges from a list, functions in a class, a namespace and
// an anonymous namespace) and B ("other.c", low/high, overlapping A's second range).
struct Module {
  std::string abbrev = AbbrevTable();
  RangeLists rnglists = MakeRangeLists();
  std::string info;
  std::string line;
  uint32_t line_b = 0;  // offset of unit B's program

  symtool::DwarfSections Sections() const {
    symtool::DwarfSections s;
    s.info = info;
    s.abbrev = abbrev;
    s.rnglists = rnglists.bytes;
    s.line = line;
    return s;
  }
};

Module MakeModule() {
  Module m;
  DwarfBytes b;
  // Unit A.
  b.U32(0).U16(5).U8(1).U8(4).U32(0);
  b.U8(kUnit).Str("src/fw/form.cpp").U32(m.rnglists.unit_list).U32(0);
  b.U8(kNamespace).Str("fw");
  b.U8(kClass).Str("Form");
  const uint32_t paint = static_cast<uint32_t>(b.size());
  b.U8(kDeclaration).Str("Paint").Str("_ZN2fw4Form5PaintEv");
  b.U8(0).U8(0);  // end of class and namespace
  b.U8(kDefinition).U32(paint).U32(kCode).U32(0x20);
  b.U8(kAnonymous);
  const uint32_t hook = static_cast<uint32_t>(b.size());
  b.U8(kRangedFunction).Str("Hook").U32(m.rnglists.function_list);
  b.U8(0);
  b.U8(kOutOfLine).U32(hook).U32(kCode + 0x80).U32(kCode + 0x90);
  const uint32_t loop = static_cast<uint32_t>(b.size());
  b.U8(kDefinition).U32(loop).U32(kCode + 0xA0).U32(0x8);  // names itself: no name
  b.U8(0);
  b.Patch32(0, static_cast<uint32_t>(b.size() - 4));
  // Unit B.
  const size_t unit_b = b.size();
  const std::string program_a = LineProgram(
      {{{kCode, 10}, {kCode + 3, 11}, {kCode + 3, 16}, {kCode + 8, 0}}, {{0x20, 3}, {0x30, 0}}});
  m.line_b = static_cast<uint32_t>(program_a.size());
  b.U32(0).U16(5).U8(1).U8(4).U32(0);
  b.U8(kUnitLow).Str("lib\\other.c").U32(kCode + 0x150).U32(0x1B0).U32(m.line_b);
  b.U8(0);
  b.Patch32(unit_b, static_cast<uint32_t>(b.size() - unit_b - 4));
  m.info = b.str();
  m.line = program_a +
           LineProgram(
               {{{kCode + 4, 99}, {kCode + 6, 0}},
                {{kCode + 0x180, 5}, {kCode + 0x184, 5}, {kCode + 0x188, 7}, {kCode + 0x190, 0}}});
  return m;
}

TEST(DwarfInfoTest, NamesFunctionsThroughLinksAndScopes) {
  const Module m = MakeModule();
  const symtool::DwarfInfo info = symtool::ReadDwarfInfo(m.Sections());
  EXPECT_EQ(info.malformed_units, 0u);
  ASSERT_EQ(info.units.size(), 2u);
  EXPECT_EQ(info.units[0].name, "src/fw/form.cpp");
  ASSERT_EQ(info.units[0].ranges.size(), 3u);  // the dropped copy is the builder's concern
  EXPECT_EQ(info.units[0].ranges[1].begin, kCode + 0x104);
  EXPECT_EQ(info.units[0].ranges[1].end, kCode + 0x180);
  EXPECT_EQ(info.units[1].ranges[0].end, kCode + 0x300);
  EXPECT_EQ(info.units[1].line_offset, m.line_b);

  ASSERT_EQ(info.functions.size(), 4u);
  EXPECT_EQ(info.functions[0].linkage_name, "_ZN2fw4Form5PaintEv");
  EXPECT_EQ(info.functions[0].name, "fw::Form::Paint");
  EXPECT_EQ(info.functions[0].ranges[0].end, kCode + 0x20);
  EXPECT_EQ(info.functions[1].name, "(anonymous namespace)::Hook");
  ASSERT_EQ(info.functions[1].ranges.size(), 2u);
  EXPECT_EQ(info.functions[1].ranges[0].begin, kCode + 0x40);
  EXPECT_EQ(info.functions[1].ranges[1].begin, kCode + 0x110);
  EXPECT_EQ(info.functions[2].name, "(anonymous namespace)::Hook");  // through its origin
  EXPECT_EQ(info.functions[2].ranges[0].end, kCode + 0x90);
  EXPECT_EQ(info.functions[3].name, "");  // refers to itself: the chain ends
}

TEST(DwarfInfoTest, EveryTruncationReadsWithoutFault) {
  const Module m = MakeModule();
  for (size_t cut = 0; cut < m.info.size(); ++cut) {
    symtool::DwarfSections s = m.Sections();
    s.info = std::string_view(m.info).substr(0, cut);
    (void)symtool::BuildSymbolTable(s, kCode, kCode + 0x1000);
  }
  for (size_t cut = 0; cut < m.abbrev.size(); ++cut) {
    symtool::DwarfSections s = m.Sections();
    s.abbrev = std::string_view(m.abbrev).substr(0, cut);
    const symtool::DwarfInfo info = symtool::ReadDwarfInfo(s);
    EXPECT_EQ(info.malformed_units + info.units.size() >= 2, true);
  }
  for (size_t cut = 0; cut < m.line.size(); ++cut) {
    symtool::DwarfSections s = m.Sections();
    s.line = std::string_view(m.line).substr(0, cut);
    (void)symtool::BuildSymbolTable(s, kCode, kCode + 0x1000);
  }
}

TEST(DwarfInfoTest, UnknownFormEndsTheUnit) {
  Module m = MakeModule();
  // The unit's stmt_list form becomes 0x7f, which no DWARF version defines.
  const size_t form = m.abbrev.find(std::string("\x10\x17", 2));
  ASSERT_NE(form, std::string::npos);
  m.abbrev[form + 1] = 0x7f;
  const symtool::DwarfInfo info = symtool::ReadDwarfInfo(m.Sections());
  EXPECT_EQ(info.malformed_units, 1u);
  EXPECT_EQ(info.units.size(), 1u);  // unit B uses the other unit abbreviation
}

TEST(DwarfLineProgramTest, RowsInProgramOrder) {
  const std::string program = LineProgram({{{kCode, 10}, {kCode + 3, 11}, {kCode + 8, 0}}});
  bool ok = false;
  const auto rows = symtool::ReadLineProgram(program, 0, 4, ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].address, kCode + 3);
  EXPECT_EQ(rows[1].line, 11u);
  EXPECT_TRUE(rows[2].end_sequence);
  EXPECT_EQ(rows[2].address, kCode + 8);
  symtool::ReadLineProgram(program.substr(0, program.size() - 2), 0, 4, ok);
  EXPECT_FALSE(ok);
}

TEST(SymbolTableBuilderTest, UnitsFunctionsAndLines) {
  const Module m = MakeModule();
  symtool::SymbolTableStats stats;
  const trace::SymbolTable table =
      symtool::BuildSymbolTable(m.Sections(), kCode, kCode + 0x1000, &stats);

  // Unit A's two runs with 4 bytes of padding between them are one; B starts where A ends.
  ASSERT_EQ(table.ranges.size(), 2u);
  EXPECT_EQ(table.ranges[0].unit, "form");
  EXPECT_EQ(table.ranges[0].offset, 0u);
  EXPECT_EQ(table.ranges[0].length, 0x180u);
  EXPECT_EQ(table.ranges[1].unit, "other");
  EXPECT_EQ(table.ranges[1].offset, 0x180u);
  EXPECT_EQ(table.ranges[1].length, 0x180u);

  // Every code range of a function names its start; the nameless one is left out.
  std::vector<std::pair<uint32_t, std::string>> functions;
  for (const auto& f : table.functions)
    functions.emplace_back(f.offset, f.name);
  const std::vector<std::pair<uint32_t, std::string>> expected = {
      {0x00, "fw::Form::Paint"},
      {0x40, "(anonymous namespace)::Hook"},
      {0x80, "(anonymous namespace)::Hook"},
      {0x110, "(anonymous namespace)::Hook"}};
  EXPECT_EQ(functions, expected);
  EXPECT_EQ(stats.unnamed_functions, 1u);

  // The last row at an address counts; B's sequence inside A's code is left out, the one at
  // address 0x20 (a dropped copy) too; equal lines within one unit range collapse.
  std::vector<std::pair<uint32_t, int>> lines;
  for (const auto& l : table.lines)
    lines.emplace_back(l.offset, l.line);
  const std::vector<std::pair<uint32_t, int>> expected_lines = {
      {0x0, 10}, {0x3, 16}, {0x180, 5}, {0x188, 7}};
  EXPECT_EQ(lines, expected_lines);
  EXPECT_EQ(stats.dropped_sequences, 1u);
}

TEST(SymbolTableBuilderTest, UnitNameIsTheFileNameWithoutFolderAndExtension) {
  EXPECT_EQ(symtool::UnitName("../framework/form_win.cpp"), "form_win");
  EXPECT_EQ(symtool::UnitName("C:\\src\\crtexe.c"), "crtexe");
  EXPECT_EQ(symtool::UnitName("archive.tar.gz"), "archive.tar");
  EXPECT_EQ(symtool::UnitName(".hidden"), ".hidden");
  EXPECT_EQ(symtool::UnitName("noext"), "noext");
}

}  // namespace
