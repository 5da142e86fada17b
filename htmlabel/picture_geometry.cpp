#include "htmlabel/picture_geometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace htmlabel {

int MulDivRounded(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
  std::int64_t magnitude = product < 0 ? -product : product;
  const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator)
                                               : static_cast<std::int64_t>(denominator);
  magnitude = (magnitude + divisor / 2) / divisor;
  const bool negative = (product < 0) != (denominator < 0);
  const std::int64_t result = negative ? -magnitude : magnitude;
  return static_cast<int>(std::clamp<std::int64_t>(result, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

int ScaleForDevice(int pixels, int dpi) {
  return std::clamp(MulDivRounded(pixels, dpi, 96), 0, kMaxPictureExtent);
}

int HimetricToPixels(int himetric, int pixels_per_inch) {
  return MulDivRounded(himetric, pixels_per_inch, 2540);
}

int PictureExtentValue(std::string_view value) {
  int number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    number = std::min(kMaxPictureExtent, number * 10 + (c - '0'));
  }
  return number;
}

Rect TileGrid::At(const Rect& area, int column, int row) const {
  const int left = area.left + column * tile.cx;
  const int top = area.top + row * tile.cy;
  return Rect{left, top, left + tile.cx, top + tile.cy};
}

TileGrid PlanTiles(const Rect& area, Size tile) {
  TileGrid grid;
  const std::int64_t width = static_cast<std::int64_t>(area.right) - area.left;
  const std::int64_t height = static_cast<std::int64_t>(area.bottom) - area.top;
  if (width <= 0 || height <= 0 || tile.cx <= 0 || tile.cy <= 0) return grid;
  grid.tile = tile;
  grid.columns = static_cast<int>((width + tile.cx - 1) / tile.cx);
  grid.rows = static_cast<int>((height + tile.cy - 1) / tile.cy);
  return grid;
}

Size TileBlock(Size tile, const Rect& area, int min_side) {
  if (tile.cx <= 0 || tile.cy <= 0) return tile;
  auto side = [min_side](int step, std::int64_t extent) {
    const std::int64_t wanted = std::clamp<std::int64_t>(extent, step, std::max(step, min_side));
    return static_cast<int>((wanted + step - 1) / step * step);
  };
  return Size{side(tile.cx, static_cast<std::int64_t>(area.right) - area.left),
              side(tile.cy, static_cast<std::int64_t>(area.bottom) - area.top)};
}

Rect BlockRange::At(int column, int row) const {
  const int left = origin.x + column * block.cx;
  const int top = origin.y + row * block.cy;
  return Rect{left, top, left + block.cx, top + block.cy};
}

BlockRange VisibleBlocks(const Rect& area, Size block, const Rect& visible) {
  BlockRange range;
  const std::int64_t left = std::max(area.left, visible.left);
  const std::int64_t top = std::max(area.top, visible.top);
  const std::int64_t right = std::min(area.right, visible.right);
  const std::int64_t bottom = std::min(area.bottom, visible.bottom);
  if (right <= left || bottom <= top || block.cx <= 0 || block.cy <= 0) return range;
  // Whole blocks from the area's corner up to the first that reaches in.
  const std::int64_t first_x = area.left + (left - area.left) / block.cx * block.cx;
  const std::int64_t first_y = area.top + (top - area.top) / block.cy * block.cy;
  range.origin = Point{static_cast<int>(first_x), static_cast<int>(first_y)};
  range.columns = static_cast<int>((right - first_x + block.cx - 1) / block.cx);
  range.rows = static_cast<int>((bottom - first_y + block.cy - 1) / block.cy);
  range.block = block;
  return range;
}

}  // namespace htmlabel
