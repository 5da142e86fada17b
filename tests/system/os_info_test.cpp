#include "trace/system/os_info.h"

#include <gtest/gtest.h>

namespace trace {
namespace {

struct KindCase {
  uint32_t platform, major, minor, build;
  int kind;
};

TEST(OsInfoTest, KindBoundaries) {
  const KindCase cases[] = {
      {0, 5, 1, 2600, 0},  {3, 10, 0, 1, 0},  // neither family
      {1, 3, 95, 0, 0},    {1, 4, 0, 950, 1},     {1, 4, 0, 1000, 1},  {1, 4, 9, 1001, 2},
      {1, 4, 10, 1998, 3}, {1, 4, 10, 2000, 3},   {1, 4, 10, 2001, 4}, {1, 4, 10, 2222, 4},
      {1, 4, 10, 2700, 4}, {1, 4, 10, 2701, 5},   {1, 4, 11, 0, 5},    {1, 4, 90, 3000, 5},
      {1, 4, 91, 0, 6},    {1, 5, 0, 0, 6},       {2, 3, 51, 1057, 7}, {2, 4, 0, 1381, 8},
      {2, 5, 0, 2195, 9},  {2, 5, 1, 2600, 10},   {2, 5, 2, 3790, 11}, {2, 5, 3, 0, 12},
      {2, 6, 1, 7601, 12}, {2, 10, 0, 19045, 12},
  };
  for (const KindCase& c : cases) {
    const OsInfo info = MakeOsInfo(c.platform, c.major, c.minor, c.build, "");
    EXPECT_EQ(info.kind, c.kind) << c.platform << " " << c.major << "." << c.minor << "."
                                 << c.build;
    EXPECT_EQ(info.kind_9x, c.platform == 1 ? c.kind : 0);
    EXPECT_EQ(info.kind_nt, c.platform == 2 ? c.kind : 0);
    EXPECT_EQ(info.description, OsKindName(c.kind));
  }
  EXPECT_EQ(OsKindName(13), "None");
  EXPECT_EQ(OsKindName(-1), "None");
}

TEST(OsInfoTest, NineXBuildKeepsItsLow16BitsAndNoServicePackInTheDescription) {
  // Windows 98 SE reports 0x040A08AE: version in the high word, build 2222 in the low one.
  const OsInfo info = MakeOsInfo(1, 4, 10, 0x040A08AE, " A ");
  EXPECT_EQ(info.build, 2222u);
  EXPECT_EQ(info.kind, 4);
  EXPECT_TRUE(info.is_9x);
  EXPECT_FALSE(info.is_nt);
  EXPECT_EQ(info.description, "Windows 98 SE");
  EXPECT_EQ(info.service_pack, " A ");
  EXPECT_EQ(info.service_pack_number, 0u);
}

TEST(OsInfoTest, XpServicePack2) {
  const OsInfo info = MakeOsInfo(2, 5, 1, 2600, "Service Pack 2");
  EXPECT_EQ(info.description, "Windows XP Service Pack 2");
  EXPECT_EQ(info.service_pack_number, 2u);
  EXPECT_TRUE(info.is_nt);
  EXPECT_EQ(info.build, 2600u);
}

TEST(OsInfoTest, ServicePackNumber) {
  EXPECT_EQ(MakeOsInfo(2, 6, 1, 7601, "Service Pack 1").service_pack_number, 1u);
  EXPECT_EQ(MakeOsInfo(2, 5, 0, 2195, "Service Pack 12").service_pack_number, 12u);
  EXPECT_EQ(MakeOsInfo(2, 5, 0, 2195, "Service Pack 4, v.1").service_pack_number, 4u);
  EXPECT_EQ(MakeOsInfo(2, 5, 0, 2195, "Service Pack ").service_pack_number, 0u);  // 13 chars
  EXPECT_EQ(MakeOsInfo(2, 5, 0, 2195, "Service Pack x").service_pack_number, 0u);
  EXPECT_EQ(MakeOsInfo(2, 5, 0, 2195, "").description, "Windows 2000");
  EXPECT_EQ(MakeOsInfo(2, 5, 0, 2195, "Service Pack 99999999999").service_pack_number, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace trace
