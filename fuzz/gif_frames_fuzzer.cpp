// Walks arbitrary bytes as a GIF file and copies them from a frame chosen by
// the last byte; reads the size they announce as a picture file; lays tiles
// with sizes taken from the first bytes. Checks
// that frames lie in the data in order, that the copy keeps the bytes before
// the first frame and starts its frames with the chosen one, and that tiles
// cover their area with whole blocks.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "htmlabel/declared_picture_size.h"
#include "htmlabel/gif_frames.h"
#include "htmlabel/picture_geometry.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

void CheckFrames(std::span<const std::uint8_t> data) {
  using namespace htmlabel;
  const GifLayout layout = ReadGifLayout(data);
  Check(layout.is_gif == IsGif(data), "the signature decides");
  Check(layout.frames.size() <= kMaxGifFrames, "frames bounded");
  for (std::size_t i = 0; i < layout.frames.size(); ++i) {
    Check(layout.frames[i].begin + 10 <= data.size(), "a frame's descriptor lies in the data");
    if (i > 0) Check(layout.frames[i - 1].begin < layout.frames[i].begin, "frames in order");
  }
  const int frame = data.empty() ? 1 : static_cast<int>(data.back() % 8) - 1;
  GifFrame shown;
  const std::vector<std::uint8_t> copy = CopyFromFrame(data, frame, &shown);
  if (layout.frames.empty()) {
    Check(copy.size() == data.size(), "without frames the copy is whole");
    return;
  }
  Check(copy.size() <= data.size() + 1, "the copy is no larger");
  const std::size_t first = layout.frames.front().begin;
  for (std::size_t i = 0; i < first; ++i)
    Check(copy[i] == data[i], "the bytes before the first frame are kept");
  if (frame < 1 || static_cast<std::size_t>(frame) > layout.frames.size()) {
    Check(copy.size() == first + 1 && copy.back() == 0x3B, "a missing frame leaves out all");
    return;
  }
  const GifLayout copied = ReadGifLayout(copy);
  const std::size_t expected = layout.frames.size() - static_cast<std::size_t>(frame) + 1;
  // The walk of the copy may stop sooner only where the original reached its frame cap.
  Check(copied.frames.size() == expected || layout.frames.size() == kMaxGifFrames,
        "the copy holds the chosen frame and those after it");
  for (std::size_t i = 0; i < copied.frames.size() && i < expected; ++i) {
    const GifFrame& a = copied.frames[i];
    const GifFrame& b = layout.frames[static_cast<std::size_t>(frame) - 1 + i];
    Check(a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height,
          "the same frames");
  }
  Check(shown.left == layout.frames[static_cast<std::size_t>(frame) - 1].left, "shown frame");
}

int Signed16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(p[0] | p[1] << 8);
}

void CheckTiles(std::span<const std::uint8_t> data) {
  using namespace htmlabel;
  if (data.size() < 12) return;
  const Rect area{Signed16(&data[0]), Signed16(&data[2]), Signed16(&data[4]), Signed16(&data[6])};
  const Size tile{Signed16(&data[8]) & 0x3FF, Signed16(&data[10]) & 0x3FF};
  const TileGrid grid = PlanTiles(area, tile);
  const std::int64_t width = static_cast<std::int64_t>(area.right) - area.left;
  const std::int64_t height = static_cast<std::int64_t>(area.bottom) - area.top;
  if (width <= 0 || height <= 0 || tile.cx <= 0 || tile.cy <= 0) {
    Check(grid.columns == 0 || grid.rows == 0, "nothing to tile");
    return;
  }
  Check(static_cast<std::int64_t>(grid.columns) * tile.cx >= width &&
            static_cast<std::int64_t>(grid.columns - 1) * tile.cx < width,
        "columns cover the width");
  Check(static_cast<std::int64_t>(grid.rows) * tile.cy >= height &&
            static_cast<std::int64_t>(grid.rows - 1) * tile.cy < height,
        "rows cover the height");
  const Rect last = grid.At(area, grid.columns - 1, grid.rows - 1);
  Check(last.left < area.right && last.right >= area.right && last.bottom >= area.bottom,
        "the last tile reaches the corner");
  const Size block = TileBlock(tile, area, 256);
  Check(block.cx % tile.cx == 0 && block.cy % tile.cy == 0, "blocks of whole tiles");
  Check(block.cx >= tile.cx && block.cx < 256 + tile.cx && block.cy < 256 + tile.cy,
        "blocks bounded");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  CheckFrames(bytes);
  CheckTiles(bytes);
  if (const std::optional<htmlabel::Size> size = htmlabel::DeclaredPictureSize(bytes))
    Check(size->cx >= 0 && size->cy >= 0, "sizes are not negative");
  return 0;
}
