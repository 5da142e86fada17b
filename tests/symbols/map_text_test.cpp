#include <gtest/gtest.h>

#include "tests/symbols/sample_table.h"
#include "trace/symbols/map_file_publics.h"
#include "trace/symbols/map_text_reader.h"
#include "trace/symbols/map_text_writer.h"

namespace trace {
namespace {

TMapFile EmptyMap() {
  TMapFile map;
  map.SetModule(0x400000, "app.exe");
  map.SetRanges(0x401000, 0x405000, 0x406000, 0x407000);
  return map;
}

std::string SegmentLine(const std::string& segment_start_length, const std::string& unit) {
  return segment_start_length + " C=CODE     S=.text    G=(none)   M=" + unit + " ACBP=A9";
}

TEST(MapTextTest, SegmentLinesMustBeLongerThan72) {
  const std::string short_line = SegmentLine("0001:00000000 00000010", "ABCDEF");
  const std::string long_line = SegmentLine("0001:00000010 00000010", "ABCDEFG");
  ASSERT_EQ(short_line.size(), 72u);
  ASSERT_EQ(long_line.size(), 73u);
  const std::string text = "Detailed map of segments\r\n\r\n " + short_line + "\r\n " + long_line +
                           "\r\n " + SegmentLine("0002:00000020 00000100", "C:\\src\\Data.pas") +
                           "\r\n " + SegmentLine("0003:00000020 00000100", "Third") + "\r\n";
  TMapFile map = EmptyMap();
  ReadMapText(text, map);
  EXPECT_TRUE(map.valid());
  ASSERT_EQ(map.segments().size(), 2u);
  EXPECT_EQ(map.segments()[0].unit_name, "ABCDEFG");
  EXPECT_EQ(map.segments()[0].start, 0x401010u);
  EXPECT_EQ(map.segments()[1].unit_name, "Data");
  EXPECT_EQ(map.segments()[1].code, 0);
  EXPECT_EQ(map.segments()[1].start, 0x406020u);
}

TEST(MapTextTest, PublicsLinesAndEntryPoint) {
  const std::string text =
      "Detailed map of segments\r\n"
      "\r\n" +
      SegmentLine(" 0001:00000000 00000100", "Unit1        ") + "\r\n" +
      SegmentLine(" 0001:00000100 00000100", "Other        ") +
      "\r\n"
      "\r\n"
      "  Address         Publics by Value\r\n"
      "\r\n"
      " 0001:00000000       Unit1\r\n"
      " 0001:00000010       @$xp$Garbage\r\n"
      " 0001:00000020       Unit1.TForm1.Click\r\n"
      " 0001:00000030       @Helper@Work$qqrv\r\n"
      " 0001:00000040       Call(int, char)\r\n"
      " 0001:0000005G       Broken\r\n"
      " 0003:00000060       Third\r\n"
      " 0001:00000100       @Other@Run$qqrv\r\n"
      "\r\n"
      " 0001:00000200       AfterTheSection\r\n"
      "\r\n"
      "Line numbers for Unit1 segment .text\r\n"
      "\r\n"
      "    99 0001:00000000\r\n"
      "\r\n"
      "Line numbers for Unit1(Unit1.pas) segment .text\r\n"
      "\r\n"
      "    10 0001:00000000    11 0001:00000008    1x 0001:0000000C    13 0001:00000010\r\n"
      "    12 0001:00000004    14 0001:00000100\r\n"
      "\r\n"
      "Program entry point at 0001:00000020\r\n";
  TMapFile map = EmptyMap();
  ReadMapText(text, map);
  std::vector<std::string> names;
  for (const TMfPublic& item : map.publics())
    names.push_back(item.name);
  EXPECT_EQ(names, (std::vector<std::string>{"initialization", "Unit1.TForm1.Click", "Helper.Work",
                                             "Call", "Run"}));
  ASSERT_EQ(map.lines().size(), 3u);  // "1x" ends its line; 12 lies below 11
  EXPECT_EQ(map.lines()[0].line, 10);
  EXPECT_EQ(map.lines()[1].line, 11);
  EXPECT_EQ(map.lines()[2].line, 14);
  EXPECT_EQ(map.entry_point(), 0x401020u);
  EXPECT_EQ(map.FindPublic(true, "other", false, "RUN"), 0x401100u);
}

TEST(MapTextTest, RoundTrip) {
  const SymbolTable table = testing::SampleTable();
  TMapFile map = EmptyMap();
  ReadMapText(WriteMapText(table), map);
  ASSERT_EQ(map.segments().size(), table.ranges.size());
  for (size_t i = 0; i < table.ranges.size(); ++i) {
    EXPECT_EQ(map.segments()[i].unit_name, table.ranges[i].unit);
    EXPECT_EQ(map.segments()[i].start, 0x401000 + table.ranges[i].offset);
    EXPECT_EQ(map.segments()[i].length, table.ranges[i].length);
  }
  ASSERT_EQ(map.publics().size(), table.functions.size());
  for (size_t i = 0; i < table.functions.size(); ++i) {
    EXPECT_EQ(map.publics()[i].name, SplitPublicName(table.functions[i].name).name);
    EXPECT_EQ(map.publics()[i].address, 0x401000 + table.functions[i].offset);
  }
  ASSERT_EQ(map.lines().size(), table.lines.size());
  for (size_t i = 0; i < table.lines.size(); ++i) {
    EXPECT_EQ(map.lines()[i].line, table.lines[i].line);
    EXPECT_EQ(map.lines()[i].address, 0x401000 + table.lines[i].offset);
  }
  EXPECT_EQ(map.entry_point(), 0x401010u);
}

TEST(MapTextTest, UnitNamesWithDotsAndLineFeedsOnly) {
  SymbolTable table;
  table.ranges = {{"x86.decoder", 0, 0x10}};
  std::string text = WriteMapText(table);
  std::erase(text, '\r');
  TMapFile map = EmptyMap();
  ReadMapText(text, map);
  ASSERT_EQ(map.segments().size(), 1u);
  EXPECT_EQ(map.segments()[0].unit_name, "x86.decoder");
}

TEST(PublicNameTest, NothingReadableKeepsTheRawName) {
  TMapFile map = EmptyMap();
  map.set_valid(true);
  AddPublic(map, true, "@@$qqrv", 0x401000, PublicSource::kMapText);
  AddPublic(map, true, "@Unit@$bctr$qqrv", 0x401010, PublicSource::kTd32);
  ASSERT_EQ(map.publics().size(), 2u);
  EXPECT_EQ(map.publics()[0].name, "@@$qqrv");
  EXPECT_EQ(map.publics()[1].name, "Unit.@Unit@$bctr$qqrv");
}

TEST(PublicNameTest, SplitAndSkip) {
  EXPECT_EQ(SplitPublicName("@Forms@TForm@Create$qqrv").unit, "Forms");
  EXPECT_EQ(SplitPublicName("@Forms@TForm@Create$qqrv").name, "TForm.Create");
  EXPECT_EQ(SplitPublicName("THTMLabel::Paint").unit, "");
  EXPECT_EQ(SplitPublicName("THTMLabel::Paint").name, "THTMLabel.Paint");
  EXPECT_TRUE(IsSkippedPublicName("@$xp$5Forms"));
  EXPECT_FALSE(IsSkippedPublicName("@$xp$"));
  EXPECT_FALSE(IsSkippedPublicName("@$xpp5Forms"));
}

}  // namespace
}  // namespace trace
