#include "trace/symbols/map_file.h"

#include <gtest/gtest.h>

#include "trace/symbols/mini_stream.h"

namespace trace {
namespace {

TMapFile MakeMap() {
  TMapFile map;
  map.SetModule(0x400000, "C:\\app\\app.exe");
  map.SetRanges(0x401000, 0x409000, 0x40A000, 0x40C000);
  map.set_valid(true);
  return map;
}

TEST(MapFileTest, ArraysGrowTo16ThenByHalf) {
  TMapFile map = MakeMap();
  EXPECT_EQ(map.public_capacity(), 0u);
  std::vector<size_t> capacities;
  for (int i = 0; i < 40; ++i) {
    map.AppendPublic(true, "f", 0x401000 + i);
    if (capacities.empty() || capacities.back() != map.public_capacity()) {
      capacities.push_back(map.public_capacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<size_t>{16, 24, 36, 54}));
}

TEST(MapFileTest, SegmentsSortedByKindThenStart) {
  TMapFile map = MakeMap();
  map.AddSegment(false, 0x40A100, 0x10, "d2");
  map.AddSegment(true, 0x401200, 0x10, "c2");
  map.AddSegment(false, 0x40A000, 0x10, "d1");
  map.AddSegment(true, 0x401000, 0x10, "c1");
  map.AddSegment(true, 0x401100, 0x10, "c15");
  std::vector<std::string> units;
  for (const TMfSegment& segment : map.segments())
    units.push_back(segment.unit_name);
  EXPECT_EQ(units, (std::vector<std::string>{"c1", "c15", "c2", "d1", "d2"}));
  EXPECT_EQ(map.segments()[map.last_added_segment()].unit_name, "c15");
}

TEST(MapFileTest, AnswersByAddress) {
  TMapFile map = MakeMap();
  map.AddSegment(true, 0x401000, 0x100, "first");
  map.AddSegment(true, 0x401100, 0x100, "second");
  map.AppendPublic(true, "A", 0x401000);
  map.AppendPublic(true, "B", 0x401080);
  map.AppendPublic(true, "C", 0x401100);
  map.AppendLine(10, 0x401000);
  map.AppendLine(11, 0x401010);
  map.AppendLine(20, 0x401100);

  EXPECT_EQ(map.SegmentAt(0x4010FF).unit_name, "first");
  EXPECT_EQ(map.SegmentAt(0x401100).unit_name, "second");
  EXPECT_EQ(map.SegmentAt(0x401200).valid, 0);
  EXPECT_EQ(map.SegmentAt(0x400FFF).valid, 0);

  EXPECT_EQ(map.PublicAt(0x40107F).name, "A");
  EXPECT_EQ(map.PublicAt(0x401080).name, "B");
  EXPECT_EQ(map.PublicAt(0x408FFF).name, "C");  // the last public reaches code end
  EXPECT_EQ(map.PublicAt(0x409000).valid, 0);
  EXPECT_EQ(map.PublicAt(0x400FFF).valid, 0);

  EXPECT_EQ(map.LineAt(0x401000), 10);
  EXPECT_EQ(map.LineAt(0x40100F), 10);
  EXPECT_EQ(map.LineAt(0x401010), 11);
  EXPECT_EQ(map.LineAt(0x401150), 20);
  // The last line reaches code end, but no segment holds the address there.
  EXPECT_EQ(map.LineAt(0x401250), 0);

  EXPECT_EQ(map.ExactName(0x401080), "B");
  EXPECT_EQ(map.ExactName(0x401081), "");
  EXPECT_EQ(map.FindPublic(true, "SECOND", false, "c"), 0x401100u);
  EXPECT_EQ(map.FindPublic(true, "second", true, "c"), 0u);
  EXPECT_EQ(map.FindPublic(true, "first", true, "b"), 0u);
  // The end of a segment counts as inside it here.
  EXPECT_EQ(map.FindPublic(true, "first", true, "C"), 0x401100u);
  EXPECT_EQ(map.FindPublic(false, "second", false, "C"), 0u);
}

TEST(MapFileTest, LineOnlyWhenItsSegmentHoldsTheLineStart) {
  TMapFile map = MakeMap();
  map.AddSegment(true, 0x401000, 0x10, "a");
  map.AddSegment(true, 0x401020, 0x10, "b");
  map.AppendLine(5, 0x401000);
  map.AppendLine(6, 0x401008);
  map.AppendLine(7, 0x401030);
  EXPECT_EQ(map.LineAt(0x40100C), 6);
  // Line 6 runs on to 0x401030, but its start lies outside segment b.
  EXPECT_EQ(map.LineAt(0x401024), 0);
}

TEST(MapFileTest, SingleLineEntryIsNeverFound) {
  TMapFile map = MakeMap();
  map.AddSegment(true, 0x401000, 0x100, "a");
  map.AppendLine(5, 0x401000);
  EXPECT_EQ(map.LineAt(0x401000), 0);
  map.AppendLine(6, 0x401010);
  EXPECT_EQ(map.LineAt(0x401000), 5);
  EXPECT_EQ(map.LineAt(0x401010), 6);
}

TEST(MapFileTest, SearchFindsEveryEntryOfSortedArrays) {
  for (uint32_t n = 1; n <= 300; ++n) {
    TMapFile map = MakeMap();
    for (uint32_t i = 0; i < n; ++i) {
      map.AddSegment(true, 0x401000 + i * 4, 4, "u");
      map.AppendPublic(true, "p", 0x401000 + i * 4);
      map.AppendLine(static_cast<int32_t>(i + 1), 0x401000 + i * 4);
    }
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t address = 0x401000 + i * 4 + 3;
      ASSERT_EQ(map.SegmentAt(address).start, address - 3) << n << " " << i;
      ASSERT_EQ(map.PublicAt(address).address, address - 3) << n << " " << i;
      ASSERT_EQ(map.LineAt(address), n == 1 ? 0 : static_cast<int32_t>(i + 1)) << n << " " << i;
    }
  }
}

TEST(MapFileTest, InvalidMapFindsNothing) {
  TMapFile map = MakeMap();
  map.AddSegment(true, 0x401000, 0x100, "a");
  map.AppendPublic(true, "A", 0x401000);
  map.set_valid(false);
  EXPECT_EQ(map.SegmentAt(0x401000).valid, 0);
  EXPECT_EQ(map.PublicAt(0x401000).valid, 0);
  EXPECT_EQ(map.ExactName(0x401000), "");
  EXPECT_EQ(map.FindPublic(true, "a", false, "A"), 0u);
  EXPECT_EQ(TMapFile().PublicAt(0).valid, 0);
}

TEST(MiniStreamTest, SizeReadAndPosition) {
  TMiniStream stream("abcdef");
  EXPECT_EQ(stream.capacity(), 8192);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(stream.Read(buffer, 8), 2);  // a short read is no error
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.set_position(-1);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  stream.set_position(0);
  EXPECT_EQ(stream.Read(buffer, -1), 0);
  stream.SetSize(8193);
  EXPECT_EQ(stream.capacity(), 16384);
  stream.set_position(9000);
  stream.SetSize(3);
  EXPECT_EQ(stream.position(), 3);
  stream.SetSize(0);
  EXPECT_EQ(stream.capacity(), 0);
}

}  // namespace
}  // namespace trace
