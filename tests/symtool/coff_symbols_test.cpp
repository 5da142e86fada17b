// Functions that only the COFF symbol table names (the run-time libraries have no DWARF): a
// small hand-made PE file with a symbol table, a ".file" record and a long name in the string
// table, read into a symbol table; and every truncation of it reads without fault.

#include <gtest/gtest.h>

#include "tests/symtool/dwarf_bytes.h"
#include "tools/symtool/pe_debug_image.h"
#include "tools/symtool/symbol_table_builder.h"

namespace {

using symtool_test::DwarfBytes;

// One code section (.text at 0x1000, 0x100 bytes) and seven symbols: the ".file" record of
// "lib/mem.c", "_memcmp" and "_alias" at 0x10, "_x " (no readable name), a section symbol and a
// static non-function label (both ignored), and "__ZN2fw4Form5PaintEv" at 0x40 through the string
// table.
std::string MakePe() {
  DwarfBytes b;
  b.U16(0x5A4D);
  while (b.size() < 0x3C)
    b.U8(0);
  b.U32(0x40);
  b.U32(0x4550);                                 // "PE\0\0"
  b.U16(0x14C).U16(1).U32(0).U32(0x400).U32(9);  // machine, sections, time, symbols, count
  b.U16(224).U16(0x102);                         // optional header size, characteristics
  const size_t optional = b.size();
  b.U16(0x10B).U8(2).U8(0).U32(0x200).U32(0).U32(0).U32(0x1000).U32(0x1000).U32(0x2000);
  b.U32(0x400000).U32(0x1000).U32(0x200).U16(4).U16(0).U16(0).U16(0).U16(4).U16(0);
  b.U32(0).U32(0x2000).U32(0x200).U32(0).U16(2).U16(0);
  b.U32(0x100000).U32(0x1000).U32(0x100000).U32(0x1000).U32(0).U32(16);
  while (b.size() < optional + 224)
    b.U8(0);
  b.Str(".text").U16(0);  // 8 bytes of name
  b.U32(0x100).U32(0x1000).U32(0x200).U32(0x200).U32(0).U32(0).U16(0).U16(0).U32(0x60000020);
  while (b.size() < 0x400)
    b.U8(0xCC);
  auto symbol = [&](std::string_view name, uint32_t value, int16_t section, uint16_t type,
                    uint8_t storage, uint8_t aux) {
    std::string padded(name);
    padded.resize(8, '\0');
    for (char c : padded)
      b.U8(static_cast<uint8_t>(c));
    b.U32(value).U16(static_cast<uint16_t>(section)).U16(type).U8(storage).U8(aux);
  };
  symbol(".file", 0, -2, 0, 103, 1);
  b.Str("lib/mem.c");
  for (int i = 0; i < 8; ++i)
    b.U8(0);  // the auxiliary record: 18 bytes
  symbol("_memcmp", 0x10, 1, 0x20, 2, 0);
  symbol("_alias", 0x10, 1, 0x20, 2, 0);  // a second name at one address
  symbol("_x ", 0x30, 1, 0x20, 2, 0);     // no readable name: left out
  symbol(".text", 0, 1, 0, 3, 1);
  for (int i = 0; i < 18; ++i)
    b.U8(0);
  symbol("label", 0x20, 1, 0, 3, 0);
  b.U32(0).U32(4);  // long name at string table offset 4
  b.U32(0x40).U16(1).U16(0x20).U8(2).U8(0);
  b.U32(4 + 21).Str("__ZN2fw4Form5PaintEv");
  return b.str();
}

TEST(CoffSymbolsTest, FunctionsWithoutDwarfAreNamedAndPlacedInTheirFile) {
  std::string error;
  const auto image = symtool::PeDebugImage::FromBytes(MakePe(), error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->coff_functions().size(), 4u);
  EXPECT_EQ(image->coff_functions()[0].file, "lib/mem.c");

  const trace::SymbolTable table = symtool::BuildSymbolTable(*image);
  ASSERT_EQ(table.functions.size(), 2u);
  EXPECT_EQ(table.functions[0].name, "memcmp");
  EXPECT_EQ(table.functions[0].offset, 0x10u);
  EXPECT_EQ(table.functions[1].name, "fw::Form::Paint");
  EXPECT_EQ(table.functions[1].offset, 0x40u);
  ASSERT_EQ(table.ranges.size(), 1u);
  EXPECT_EQ(table.ranges[0].unit, "mem");
  EXPECT_EQ(table.ranges[0].offset, 0x10u);
  EXPECT_EQ(table.ranges[0].length, 0xF0u);
  EXPECT_EQ(table.entry_point, 0u);
}

TEST(CoffSymbolsTest, EveryTruncationReadsWithoutFault) {
  const std::string pe = MakePe();
  for (size_t cut = 0; cut <= pe.size(); ++cut) {
    std::string error;
    const auto image = symtool::PeDebugImage::FromBytes(pe.substr(0, cut), error);
    if (image) (void)symtool::BuildSymbolTable(*image);
  }
}

}  // namespace
