#include "htmlabel/html_color.h"

#include <gtest/gtest.h>

#include "tests/htmlabel/test_surface.h"

namespace htmlabel {
namespace {

TEST(HtmlColorTest, NamesAndSystemColours) {
  EXPECT_EQ(ParseColor("clRed"), 0x0000FFu);
  EXPECT_EQ(ParseColor("CLNAVY"), 0x800000u);
  EXPECT_EQ(ParseColor("cl3ddkshadow"), 0x80000015u);
  EXPECT_EQ(ParseColor("clBackground"), 0x80000001u);
  EXPECT_EQ(ParseColor("clInfoBk"), 0x80000018u);
  EXPECT_EQ(ParseColor("red"), 0u);
  EXPECT_EQ(ParseColor(""), 0u);
}

TEST(HtmlColorTest, HexadecimalIsRedGreenBlue) {
  EXPECT_EQ(ParseColor("#FF0000"), 0x0000FFu);
  EXPECT_EQ(ParseColor("#0A0B0C"), 0x0C0B0Au);
  EXPECT_EQ(ParseColor("#12345"), 0x003412u);  // the blue pair is cut short
  EXPECT_EQ(ParseColor("#"), 0u);
  EXPECT_EQ(ParseColor("#GG10ZZ"), 0x001000u);
}

TEST(HtmlColorTest, ComponentsResolveSystemColours) {
  TestSurface surface;
  int r, g, b;
  ColorComponents(surface, 0x80000005, &r, &g, &b);
  EXPECT_EQ(r, 5);
  EXPECT_EQ(g, 5);
  EXPECT_EQ(b, 5);
  ColorComponents(surface, 0x00123456, &r, &g, &b);
  EXPECT_EQ(r, 0x56);
  EXPECT_EQ(b, 0x12);
}

}  // namespace
}  // namespace htmlabel
