#include "crash/delivery/print_layout.h"

#include <gtest/gtest.h>

namespace crash {
namespace {

TEST(PrintLayout, MarginsInDeviceUnitsLessThePhysicalOffset) {
  // A4 at 600 dpi: 4960 x 7014 pixels of 210 x 297 mm, the printable area 100 pixels in.
  PageFacts page{4760, 6814, 201, 288, 100, 100};
  const PrintArea area = PagePrintArea(page);
  EXPECT_EQ(area.left, 474 - 100);    // 20 mm = 473.6 pixels
  EXPECT_EQ(area.top, 237 - 100);     // 10 mm = 236.6
  EXPECT_EQ(area.right, 4760 - 137);  // 10 mm = 236.8
  EXPECT_EQ(area.height, 6814 - 2 * 137);
  // An offset wider than the margin leaves no margin, not a negative one.
  page.offset_x_pixels = page.offset_y_pixels = 300;
  EXPECT_EQ(PagePrintArea(page).top, 0);
  EXPECT_EQ(PagePrintArea(page).left, 174);
  EXPECT_EQ(PagePrintArea(page).right, 4760);
  EXPECT_EQ(PagePrintArea(PageFacts{}).height, 0);  // no size: no division by zero
}

TEST(PrintLayout, LinesSplitAtCrLfEmptyOnesABlank) {
  EXPECT_EQ(PrintLines("a\r\n\r\nb\nc\r\n"), (std::vector<std::string>{"a", " ", "b\nc", " "}));
  EXPECT_EQ(PrintLines(""), std::vector<std::string>{" "});
  EXPECT_EQ(CourierHeight(600), -66);
  EXPECT_EQ(CourierHeight(96), -10);
}

}  // namespace
}  // namespace crash
