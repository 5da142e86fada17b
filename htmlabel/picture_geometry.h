// The sizes and places of pictures in markup: device scaling, HIMETRIC sizes,
// WIDTH and HEIGHT values, and the grid of tiles that covers a rectangle.
#pragma once

#include <string_view>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

// WIDTH and HEIGHT values, and scaled sizes, saturate here: no picture in a
// label is larger, and sums of positions stay far from the ends of int.
constexpr int kMaxPictureExtent = 32767;

// value * numerator / denominator rounded half away from zero, as the
// system's MulDiv; -1 for a zero denominator. The result saturates at the
// ends of int.
int MulDivRounded(int value, int numerator, int denominator);

// A length in pixels at 96 dots per inch on a device of dpi dots per inch,
// within 0 ... kMaxPictureExtent.
int ScaleForDevice(int pixels, int dpi);

// A length in HIMETRIC units (hundredths of a millimetre) in pixels at
// pixels_per_inch.
int HimetricToPixels(int himetric, int pixels_per_inch);

// A WIDTH or HEIGHT attribute value: its leading digits (0 when there are
// none), at most kMaxPictureExtent.
int PictureExtentValue(std::string_view value);

// Tiles of one size laid from the top-left corner of an area, row by row,
// until the area is covered.
struct TileGrid {
  int columns = 0;  // tiles across
  int rows = 0;     // tiles down
  Size tile;        // the size of each tile

  // The rectangle of the tile in column, row of area.
  Rect At(const Rect& area, int column, int row) const;
};

// The tiles that cover area with tiles of size tile; none for an empty area
// or a tile without width or height.
TileGrid PlanTiles(const Rect& area, Size tile);

// The smallest multiple of tile in each direction that is at least min_side
// pixels (or the area's side, when that is smaller), so that a tiny picture
// tiled over a large area costs few copies: copies of tile laid in a grid of
// these blocks give the same pixels as the tiles themselves.
Size TileBlock(Size tile, const Rect& area, int min_side);

// The blocks of one size laid from an area's top-left corner, row by row,
// that reach into the part of the area inside a visible rectangle (a device
// context's clip box): the rest would only be clipped away.
struct BlockRange {
  Point origin;     // the top-left corner of the first block
  int columns = 0;  // blocks across
  int rows = 0;     // blocks down
  Size block;       // the size of each block

  // The rectangle of the block in column, row of the range.
  Rect At(int column, int row) const;
};

// The blocks of size block over area that meet visible; none when area and
// visible do not meet or the block has no width or height.
BlockRange VisibleBlocks(const Rect& area, Size block, const Rect& visible);

}  // namespace htmlabel
