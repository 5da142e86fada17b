#include <gtest/gtest.h>

#include "tests/symbols/sample_table.h"
#include "trace/symbols/little_endian.h"
#include "trace/symbols/map_file_publics.h"
#include "trace/symbols/td32_reader.h"
#include "trace/symbols/td32_writer.h"

namespace trace {
namespace {

TMapFile EmptyMap() {
  TMapFile map;
  map.SetModule(0x400000, "app.exe");
  map.SetRanges(0x401000, 0x405000, 0x406000, 0x407000);
  return map;
}

// TD32 data of the given subsections, in order, with one directory behind them.
std::string Td32Of(const std::vector<std::pair<uint16_t, std::string>>& subsections) {
  std::string out = "FB09";
  AppendLe32(out, 0);
  std::vector<uint32_t> offsets;
  for (const auto& [type, bytes] : subsections) {
    offsets.push_back(static_cast<uint32_t>(out.size()));
    out += bytes;
  }
  PutLe32(out, 4, static_cast<uint32_t>(out.size()));
  AppendLe16(out, 16);
  AppendLe16(out, 12);
  AppendLe32(out, static_cast<uint32_t>(subsections.size()));
  AppendLe32(out, 0);
  AppendLe32(out, 0);
  for (size_t i = 0; i < subsections.size(); ++i) {
    AppendLe16(out, subsections[i].first);
    AppendLe16(out, 1);
    AppendLe32(out, offsets[i]);
    AppendLe32(out, static_cast<uint32_t>(subsections[i].second.size()));
  }
  return out;
}

std::string Names(const std::vector<std::string>& names) {
  std::string out;
  AppendLe32(out, static_cast<uint32_t>(names.size()));
  for (const std::string& name : names)
    out += static_cast<char>(name.size()) + name + '\0';
  return out;
}

// A public record (0x20 code, 0x21 data): name index at 12, offset at 20.
std::string PublicRecord(uint16_t type, uint32_t name, uint32_t offset) {
  std::string record(24, '\0');
  record[0] = 22;
  record[2] = static_cast<char>(type);
  PutLe32(record, 12, name);
  PutLe32(record, 20, offset);
  return record;
}

TEST(Td32Test, RoundTripInBothPublicForms) {
  const SymbolTable table = testing::SampleTable();
  for (Td32PublicsForm form : {Td32PublicsForm::kGlobalPublics, Td32PublicsForm::kAlignedSymbols}) {
    TMapFile map = EmptyMap();
    ASSERT_TRUE(ReadTd32(WriteTd32(table, form), map));
    EXPECT_TRUE(map.valid());
    ASSERT_EQ(map.segments().size(), 3u);
    // Neighbouring segments that only touch keep their lengths.
    EXPECT_EQ(map.segments()[0].unit_name, "main");
    EXPECT_EQ(map.segments()[0].length, 0x200u);
    EXPECT_EQ(map.segments()[1].unit_name, "html_label");
    EXPECT_EQ(map.segments()[2].start, 0x404200u);
    ASSERT_EQ(map.publics().size(), table.functions.size());
    for (size_t i = 0; i < table.functions.size(); ++i) {
      EXPECT_EQ(map.publics()[i].name, SplitPublicName(table.functions[i].name).name);
      EXPECT_EQ(map.publics()[i].address, 0x401000 + table.functions[i].offset);
    }
    ASSERT_EQ(map.lines().size(), table.lines.size());
    EXPECT_EQ(map.lines().back().line, 70000 & 0xFFFF);  // 16-bit line numbers
    EXPECT_EQ(map.LineAt(0x4012A1), 1000);
  }
}

TEST(Td32Test, AlignedSymbolsOnlyWithoutGlobalPublics) {
  std::string aligned(4, '\0');
  std::string proc(44, '\0');
  proc[0] = 42;
  proc[2] = 0x04;
  proc[3] = 0x02;
  PutLe32(proc, 28, 0x40);
  PutLe32(proc, 40, 2);
  aligned += proc;
  std::string globals(32, '\0');
  globals += PublicRecord(0x20, 1, 0x10);
  const std::string names = Names({"FromPublics", "FromSymbols"});

  TMapFile both = EmptyMap();
  ReadTd32(Td32Of({{0x125, aligned}, {0x129, globals}, {0x130, names}}), both);
  ASSERT_EQ(both.publics().size(), 1u);
  EXPECT_EQ(both.publics()[0].name, "FromPublics");

  TMapFile only = EmptyMap();
  ReadTd32(Td32Of({{0x125, aligned}, {0x130, names}}), only);
  ASSERT_EQ(only.publics().size(), 1u);
  EXPECT_EQ(only.publics()[0].name, "FromSymbols");
  EXPECT_EQ(only.publics()[0].address, 0x401040u);
}

TEST(Td32Test, PublicsShapeTheSegments) {
  // Module "Alpha" with one code segment [0x00, 0x10) and one data segment.
  std::string module(28, '\0');
  module[4] = 2;
  PutLe32(module, 8, 1);
  for (auto [flags, offset] : {std::pair{1, 0x00}, std::pair{0, 0x20}}) {
    AppendLe16(module, 1);
    AppendLe16(module, static_cast<uint16_t>(flags));
    AppendLe32(module, static_cast<uint32_t>(offset));
    AppendLe32(module, 0x10);
  }
  std::string globals(32, '\0');
  globals += PublicRecord(0x20, 2, 0x00);   // @Alpha@Alpha: its unit's initialization
  globals += PublicRecord(0x20, 3, 0x30);   // beyond every segment, another unit: new segment
  globals += PublicRecord(0x20, 4, 0x38);   // same unit: stretches Beta's segment up to it
  globals += PublicRecord(0x21, 5, 0x24);   // data public inside Alpha's data segment
  globals += PublicRecord(0x20, 0, 0x50);   // no name: skipped
  globals += PublicRecord(0x20, 99, 0x50);  // name index beyond the table: skipped
  const std::string names =
      Names({"C:\\src\\Alpha", "@Alpha@Alpha", "@Beta@Start$qqrv", "@Beta@Next$qqrv", "Table"});
  TMapFile map = EmptyMap();
  ASSERT_TRUE(ReadTd32(Td32Of({{0x120, module}, {0x129, globals}, {0x130, names}}), map));

  std::vector<std::string> publics;
  for (const TMfPublic& item : map.publics())
    publics.push_back(item.name);
  EXPECT_EQ(publics,
            (std::vector<std::string>{"initialization", "Beta.Start", "Beta.Next", "Table"}));
  ASSERT_EQ(map.segments().size(), 3u);
  EXPECT_EQ(map.segments()[0].unit_name, "Alpha");
  EXPECT_EQ(map.segments()[1].unit_name, "Beta");
  EXPECT_EQ(map.segments()[1].start, 0x401030u);
  EXPECT_EQ(map.segments()[1].length, 8u);
  EXPECT_EQ(map.segments()[2].code, 0);
  EXPECT_EQ(map.SegmentAt(0x401034).unit_name, "Beta");
}

TEST(Td32Test, DamagedDataIsSkipped) {
  TMapFile map = EmptyMap();
  EXPECT_FALSE(ReadTd32("FB0", map));
  EXPECT_FALSE(ReadTd32("NB09\0\0\0\0", map));
  EXPECT_FALSE(map.valid());

  // A directory that points at itself, a subsection beyond the data, a module whose name
  // index and segment records run past its end, a source module with offsets outside it.
  std::string data = "FB0A";
  AppendLe32(data, 8);
  AppendLe16(data, 16);
  AppendLe16(data, 12);
  AppendLe32(data, 3);
  AppendLe32(data, 8);  // next: itself
  AppendLe32(data, 0);
  const uint32_t entries = static_cast<uint32_t>(data.size());
  data += std::string(36, '\0');
  std::string module(30, '\0');
  module[4] = static_cast<char>(0xFF);
  PutLe32(module, 8, 77);
  std::string source;
  AppendLe16(source, 3);
  AppendLe32(source, 0xFFFFFFF0);
  const uint32_t module_at = static_cast<uint32_t>(data.size());
  data += module;
  const uint32_t source_at = static_cast<uint32_t>(data.size());
  data += source;
  for (auto [index, type, offset, size] :
       {std::tuple{0, 0x129, 0xFFFFFFF0u, 64u}, std::tuple{1, 0x120, module_at, 30u},
        std::tuple{2, 0x127, source_at, 6u}}) {
    std::string entry;
    AppendLe16(entry, static_cast<uint16_t>(type));
    AppendLe16(entry, 1);
    AppendLe32(entry, offset);
    AppendLe32(entry, size);
    data.replace(entries + index * 12, 12, entry);
  }
  EXPECT_TRUE(ReadTd32(data, map));
  EXPECT_TRUE(map.publics().empty());
  EXPECT_TRUE(map.lines().empty());
}

TEST(Td32Test, RepeatedOffsetsDoNotMultiplyTheWork) {
  // 1000 files that all name one file record, whose 1000 blocks all name one block of 100
  // pairs: sound data of this size holds far fewer lines.
  std::string source;
  AppendLe16(source, 1000);
  AppendLe16(source, 0);
  for (int i = 0; i < 1000; ++i)
    AppendLe32(source, 4004);
  AppendLe16(source, 1000);  // file record at 4004
  AppendLe32(source, 0);
  for (int i = 0; i < 1000; ++i)
    AppendLe32(source, 8010);
  AppendLe16(source, 1);  // line block at 8010
  AppendLe16(source, 100);
  for (int i = 0; i < 100; ++i)
    AppendLe32(source, static_cast<uint32_t>(i));
  for (int i = 0; i < 100; ++i)
    AppendLe16(source, static_cast<uint16_t>(i + 1));
  TMapFile map = EmptyMap();
  ASSERT_TRUE(ReadTd32(Td32Of({{0x127, source}}), map));
  EXPECT_LE(map.lines().size(), source.size() / 6);
  EXPECT_GE(map.lines().size(), 100u);

  // A second directory entry on the same bytes is not read again.
  std::string twice = Td32Of({{0x127, source}, {0x127, source}});
  const uint32_t directory = *ReadLe32(twice, 4);
  PutLe32(twice, directory + 16 + 12 + 4, *ReadLe32(twice, directory + 16 + 4));
  TMapFile once = EmptyMap();
  ASSERT_TRUE(ReadTd32(twice, once));
  EXPECT_EQ(once.lines().size(), map.lines().size());
}

TEST(Td32Test, DataInsideAFile) {
  EXPECT_EQ(Td32InFile("FB09 plain"), "FB09 plain");
  // A PE file whose last section starts at the debug directory's address.
  std::string file(0x400, '\0');
  file[0] = 'M';
  file[1] = 'Z';
  PutLe32(file, 0x3C, 0x80);
  PutLe32(file, 0x80, 0x4550);
  file[0x86] = 1;         // one section
  file[0x80 + 20] = 224;  // optional header size
  const uint32_t optional = 0x80 + 24;
  PutLe32(file, optional + 96 + 48, 0x3000);  // debug directory
  const uint32_t section = optional + 224;
  PutLe32(file, section + 12, 0x3000);
  PutLe32(file, section + 16, 0x200);
  PutLe32(file, section + 20, 0x200);
  PutLe32(file, 0x200 + 24, 0x300);  // PointerToRawData of the debug data
  file.replace(0x300, 4, "FB09");
  const auto data = Td32InFile(file);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->substr(0, 4), "FB09");
  PutLe32(file, section + 12, 0x2000);
  EXPECT_FALSE(Td32InFile(file));
}

}  // namespace
}  // namespace trace
