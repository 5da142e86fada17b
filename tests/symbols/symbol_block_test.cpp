#include <gtest/gtest.h>

#include "tests/symbols/sample_table.h"
#include "trace/cipher/blowfish.h"
#include "trace/cipher/compressed_frame.h"
#include "trace/symbols/little_endian.h"
#include "trace/symbols/symbol_block_key.h"
#include "trace/symbols/symbol_block_reader.h"
#include "trace/symbols/symbol_block_writer.h"

namespace trace {
namespace {

TMapFile EmptyMap() {
  TMapFile map;
  map.SetModule(0x400000, "app.exe");
  map.SetRanges(0x401000, 0x405000, 0x406000, 0x407000);
  return map;
}

TEST(SymbolBlockTest, PackedIntegers) {
  TMiniStream stream(std::string("\x7F\x81\x80\x78\x56\x34\x12\x80\x01", 9));
  EXPECT_EQ(ReadPackedInteger(stream), 127);
  EXPECT_EQ(ReadPackedInteger(stream), -127);
  EXPECT_EQ(ReadPackedInteger(stream), 0x12345678);
  EXPECT_EQ(ReadPackedInteger(stream), 1);  // a short value keeps the bytes that are there
  for (int32_t value : {0, 127, -127, 128, -128, 0x7FFFFFFF, INT32_MIN}) {
    std::string bytes;
    AppendPackedInteger(bytes, value);
    EXPECT_EQ(bytes.size(), value >= -127 && value <= 127 ? 1u : 5u) << value;
    TMiniStream back(bytes);
    EXPECT_EQ(ReadPackedInteger(back), value);
  }
}

TEST(SymbolBlockTest, PackedStringLongerThanTheRestIsEmpty) {
  TMiniStream stream(
      std::string("\x03"
                  "ab",
                  3));
  EXPECT_EQ(ReadPackedString(stream), "");
  std::string long_text;
  AppendPackedString(long_text, std::string(300, 'x'));
  EXPECT_EQ(long_text.size(), 256u);
}

TEST(SymbolBlockTest, RoundTrip) {
  const SymbolTable table = testing::SampleTable();
  const std::string block = WriteSymbolBlock(table);
  ASSERT_TRUE(IsSymbolBlock(block));
  EXPECT_EQ(block.substr(0, 14), "Adrelo symbols");
  EXPECT_EQ(ReadLe32(block, 14), block.size() - 22);

  TMapFile map = EmptyMap();
  ASSERT_TRUE(ReadSymbolBlock(block, map));
  EXPECT_TRUE(map.valid());
  ASSERT_EQ(map.segments().size(), 3u);
  EXPECT_EQ(map.segments()[1].unit_name, "html_label");
  EXPECT_EQ(map.segments()[1].start, 0x401200u);
  EXPECT_EQ(map.segments()[1].length, 0x3000u);
  ASSERT_EQ(map.publics().size(), table.functions.size());
  for (size_t i = 0; i < table.functions.size(); ++i) {
    EXPECT_EQ(map.publics()[i].name, table.functions[i].name);
    EXPECT_EQ(map.publics()[i].address, 0x401000 + table.functions[i].offset);
  }
  ASSERT_EQ(map.lines().size(), table.lines.size());
  EXPECT_EQ(map.lines().back().line, 70000);
  EXPECT_EQ(map.entry_point(), 0x401010u);
  EXPECT_EQ(map.PublicAt(0x4012A5).name, "THTMLabel::SetCaption");
  EXPECT_EQ(map.LineAt(0x401206), 99);
  EXPECT_EQ(map.SegmentAt(0x403100).unit_name, "html_label");
}

TEST(SymbolBlockTest, EntryPointOnlyWhenExactlyFourBytesFollow) {
  SymbolTable table = testing::SampleTable();
  std::string payload = SymbolBlockPayload(table);
  TMapFile map = EmptyMap();
  ReadSymbolPayload(payload + "x", map);
  EXPECT_EQ(map.entry_point(), 0u);
  table.entry_point.reset();
  TMapFile without = EmptyMap();
  ReadSymbolPayload(SymbolBlockPayload(table), without);
  EXPECT_EQ(without.entry_point(), 0u);
  EXPECT_EQ(without.publics().size(), 6u);
}

TEST(SymbolBlockTest, WrongMarkerOrVersionIsNoBlock) {
  const std::string block = WriteSymbolBlock(testing::SampleTable());
  std::string marker = block;
  marker[0] = 'a';
  std::string version = block;
  version[18] = 3;
  for (const std::string& bad : {marker, version, block.substr(0, 22)}) {
    TMapFile map = EmptyMap();
    EXPECT_FALSE(ReadSymbolBlock(bad, map));
    EXPECT_FALSE(map.valid());
  }
}

TEST(SymbolBlockTest, CorrectHeaderWithBadPayloadIsValidAndEmpty) {
  std::string block = WriteSymbolBlock(testing::SampleTable());
  block[30] ^= 0x55;  // the deciphered frame no longer matches its CRC
  TMapFile map = EmptyMap();
  EXPECT_TRUE(ReadSymbolBlock(block, map));
  EXPECT_TRUE(map.valid());
  EXPECT_TRUE(map.segments().empty());
  EXPECT_TRUE(map.publics().empty());
  EXPECT_TRUE(map.lines().empty());
}

TEST(SymbolBlockTest, PayloadIsEncipheredWithTheLengthPassword) {
  const std::string block = WriteSymbolBlock(testing::SampleTable());
  std::string frame = block.substr(22);
  DecryptString(frame, SymbolBlockPassword(static_cast<uint32_t>(frame.size())));
  EXPECT_EQ(UncompressString(frame), SymbolBlockPayload(testing::SampleTable()));
}

TEST(SymbolBlockTest, DamagedCountsStopAtTheData) {
  std::string payload;
  AppendLe32(payload, 0xFFFFFFFF);  // segments
  AppendLe32(payload, 0);
  TMapFile map = EmptyMap();
  ReadSymbolPayload(payload, map);
  EXPECT_TRUE(map.segments().empty());
  std::string publics;
  AppendLe32(publics, 0);
  AppendLe32(publics, 0x7FFFFFFF);
  publics += std::string(10, '\0');
  ReadSymbolPayload(publics, map);
  EXPECT_LE(map.publics().size(), 5u);
}

}  // namespace
}  // namespace trace
