#include "htmlabel/declared_picture_size.h"

#include <algorithm>
#include <cstdlib>

#include "htmlabel/gif_frames.h"

namespace htmlabel {
namespace {

std::uint32_t LittleU32(std::span<const std::uint8_t> d, std::size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<std::uint32_t>(d[at + 3]) << 24;
}

int Magnitude(std::int32_t value) {
  return value == INT32_MIN ? INT32_MAX : std::abs(value);
}

std::optional<Size> BmpSize(std::span<const std::uint8_t> d) {
  if (d.size() < 26) return std::nullopt;
  const std::uint32_t header = LittleU32(d, 14);
  if (header == 12) return Size{d[18] | d[19] << 8, d[20] | d[21] << 8};
  return Size{Magnitude(static_cast<std::int32_t>(LittleU32(d, 18))),
              Magnitude(static_cast<std::int32_t>(LittleU32(d, 22)))};
}

// The frame header (SOFn) of a JPEG stream, found by walking its segments.
std::optional<Size> JpegSize(std::span<const std::uint8_t> d) {
  std::size_t at = 2;
  while (at + 4 <= d.size()) {
    if (d[at] != 0xFF) return std::nullopt;
    const std::uint8_t marker = d[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    const std::size_t length = static_cast<std::size_t>(d[at + 2] << 8 | d[at + 3]);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > d.size()) return std::nullopt;
      return Size{d[at + 7] << 8 | d[at + 8], d[at + 5] << 8 | d[at + 6]};
    }
    if (marker == 0xDA || length < 2) return std::nullopt;  // image data before any frame
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Size> DeclaredPictureSize(std::span<const std::uint8_t> data) {
  if (IsGif(data)) {
    const GifLayout layout = ReadGifLayout(data);
    if (data.size() < 10) return std::nullopt;
    Size size{layout.screen_width, layout.screen_height};
    for (const GifFrame& frame : layout.frames) {
      size.cx = std::max(size.cx, static_cast<int>(frame.width));
      size.cy = std::max(size.cy, static_cast<int>(frame.height));
    }
    return size;
  }
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return BmpSize(data);
  if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8) return JpegSize(data);
  return std::nullopt;
}

bool DeclaredSizeAcceptable(std::span<const std::uint8_t> data) {
  const std::optional<Size> size = DeclaredPictureSize(data);
  return !size || static_cast<std::int64_t>(size->cx) * size->cy <= kMaxDecodedPixels;
}

}  // namespace htmlabel
