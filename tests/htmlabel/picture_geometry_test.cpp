#include "htmlabel/picture_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace htmlabel {
namespace {

TEST(PictureGeometry, ScalingRoundsAsTheSystemDoes) {
  EXPECT_EQ(MulDivRounded(96, 120, 96), 120);
  EXPECT_EQ(MulDivRounded(5, 1, 2), 3);  // half away from zero
  EXPECT_EQ(MulDivRounded(-5, 1, 2), -3);
  EXPECT_EQ(MulDivRounded(7, 3, 0), -1);
  EXPECT_EQ(MulDivRounded(INT_MAX, INT_MAX, 1), INT_MAX);
  EXPECT_EQ(ScaleForDevice(96, 120), 120);
  EXPECT_EQ(ScaleForDevice(16, 96), 16);
  EXPECT_EQ(ScaleForDevice(30000, 960), kMaxPictureExtent);
  EXPECT_EQ(ScaleForDevice(-4, 96), 0);
  // 10 mm at 96 dots per inch: 37.8 pixels.
  EXPECT_EQ(HimetricToPixels(1000, 96), 38);
}

TEST(PictureGeometry, ExtentValuesAreLeadingDigitsBounded) {
  EXPECT_EQ(PictureExtentValue("40"), 40);
  EXPECT_EQ(PictureExtentValue("40px"), 40);
  EXPECT_EQ(PictureExtentValue("px"), 0);
  EXPECT_EQ(PictureExtentValue(""), 0);
  EXPECT_EQ(PictureExtentValue("-5"), 0);
  EXPECT_EQ(PictureExtentValue("999999999999999999"), kMaxPictureExtent);
}

// Every pixel of the area is covered by exactly one tile, and every tile
// starts inside the area.
void ExpectCoveredOnce(const Rect& area, Size tile) {
  const TileGrid grid = PlanTiles(area, tile);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  std::vector<int> cover(static_cast<size_t>(width) * height, 0);
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const Rect r = grid.At(area, column, row);
      ASSERT_LT(r.left, area.right);
      ASSERT_LT(r.top, area.bottom);
      for (int y = std::max(r.top, area.top); y < std::min(r.bottom, area.bottom); ++y)
        for (int x = std::max(r.left, area.left); x < std::min(r.right, area.right); ++x)
          ++cover[static_cast<size_t>(y - area.top) * width + (x - area.left)];
    }
  }
  for (int c : cover)
    ASSERT_EQ(c, 1) << tile.cx << "x" << tile.cy;
}

TEST(PictureGeometry, TilesCoverTheAreaExactly) {
  const Rect area{3, 5, 103, 45};  // 100 x 40
  const TileGrid grid = PlanTiles(area, Size{7, 5});
  EXPECT_EQ(grid.columns, 15);  // 14 whole tiles and a part
  EXPECT_EQ(grid.rows, 8);
  EXPECT_EQ(grid.At(area, 14, 7), (Rect{101, 40, 108, 45}));
  for (Size tile : {Size{7, 5}, Size{1, 1}, Size{100, 40}, Size{300, 1}, Size{33, 41}})
    ExpectCoveredOnce(area, tile);
  EXPECT_EQ(PlanTiles(area, Size{0, 5}).columns, 0);
  EXPECT_EQ(PlanTiles(Rect{10, 10, 10, 50}, Size{4, 4}).rows, 0);
  EXPECT_EQ(PlanTiles(Rect{10, 10, 5, 50}, Size{4, 4}).columns, 0);
}

TEST(PictureGeometry, BlocksAreWholeTilesAtLeastTheSideAsked) {
  const Rect large{0, 0, 4000, 3000};
  EXPECT_EQ(TileBlock(Size{1, 1}, large, 64).cx, 64);
  EXPECT_EQ(TileBlock(Size{7, 5}, large, 64).cx, 70);
  EXPECT_EQ(TileBlock(Size{7, 5}, large, 64).cy, 65);
  EXPECT_EQ(TileBlock(Size{200, 100}, large, 64).cx, 200);
  // Never much beyond the area itself.
  EXPECT_EQ(TileBlock(Size{7, 5}, Rect{0, 0, 20, 12}, 64).cx, 21);
  EXPECT_EQ(TileBlock(Size{7, 5}, Rect{0, 0, 20, 12}, 64).cy, 15);
}

// The blocks over area that meet visible: each starts on the area's grid of
// blocks and reaches into the visible part, and together they cover every
// pixel of that part exactly once.
void ExpectVisiblePartCoveredOnce(const Rect& area, Size block, const Rect& visible) {
  const BlockRange range = VisibleBlocks(area, block, visible);
  const Rect part{std::max(area.left, visible.left), std::max(area.top, visible.top),
                  std::min(area.right, visible.right), std::min(area.bottom, visible.bottom)};
  const int width = part.right - part.left;
  const int height = part.bottom - part.top;
  std::vector<int> cover(static_cast<size_t>(width) * height, 0);
  for (int row = 0; row < range.rows; ++row) {
    for (int column = 0; column < range.columns; ++column) {
      const Rect r = range.At(column, row);
      ASSERT_EQ((r.left - area.left) % block.cx, 0);
      ASSERT_EQ((r.top - area.top) % block.cy, 0);
      ASSERT_TRUE(r.left < part.right && r.right > part.left && r.top < part.bottom &&
                  r.bottom > part.top)
          << "block " << column << "," << row << " outside";
      for (int y = std::max(r.top, part.top); y < std::min(r.bottom, part.bottom); ++y)
        for (int x = std::max(r.left, part.left); x < std::min(r.right, part.right); ++x)
          ++cover[static_cast<size_t>(y - part.top) * width + (x - part.left)];
    }
  }
  for (int c : cover)
    ASSERT_EQ(c, 1) << block.cx << "x" << block.cy << " in " << visible.left << "," << visible.top;
}

TEST(PictureGeometry, OnlyBlocksReachingIntoTheVisiblePartAreLaid) {
  const Rect area{3, 5, 103, 45};
  // Visible parts starting on a block edge, inside a block, past the area's
  // corner, and the whole area.
  for (const Rect visible : {Rect{10, 10, 24, 20}, Rect{12, 13, 60, 44}, Rect{-50, -50, 30, 30},
                             Rect{90, 40, 500, 500}, area}) {
    for (Size block : {Size{7, 5}, Size{1, 1}, Size{70, 65}, Size{33, 41}})
      ExpectVisiblePartCoveredOnce(area, block, visible);
  }
  // A visible part in the area's third block row of 7 x 5 tiles starts there.
  const BlockRange range = VisibleBlocks(area, Size{7, 5}, Rect{0, 16, 200, 17});
  EXPECT_EQ(range.origin.x, 3);
  EXPECT_EQ(range.origin.y, 15);
  EXPECT_EQ(range.columns, 15);
  EXPECT_EQ(range.rows, 1);
  // Nothing visible, or nothing to lay.
  EXPECT_EQ(VisibleBlocks(area, Size{7, 5}, Rect{103, 5, 200, 45}).columns, 0);
  EXPECT_EQ(VisibleBlocks(area, Size{7, 5}, Rect{3, 45, 103, 90}).rows, 0);
  EXPECT_EQ(VisibleBlocks(area, Size{0, 5}, area).columns, 0);
}

}  // namespace
}  // namespace htmlabel
