#include "htmlabel/gif_frames.h"

namespace htmlabel {
namespace {

constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kGraphicControl = 0xF9;
constexpr std::uint8_t kImageDescriptor = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::size_t kHeaderSize = 13;      // signature, version, logical screen descriptor
constexpr std::size_t kDescriptorSize = 10;  // 0x2C, left, top, width, height, flags

std::uint16_t U16(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

// The size of a colour table announced by a flags byte (0 without one).
std::size_t ColorTableSize(std::uint8_t flags) {
  return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0;
}

// Skips a chain of data sub-blocks starting at *at; false when it runs past the end.
bool SkipSubBlocks(std::span<const std::uint8_t> data, std::size_t* at) {
  while (*at < data.size()) {
    const std::size_t length = data[*at];
    ++*at;
    if (length == 0) return true;
    if (length > data.size() - *at) return false;
    *at += length;
  }
  return false;
}

}  // namespace

bool IsGif(std::span<const std::uint8_t> data) {
  return data.size() >= 5 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8';
}

GifLayout ReadGifLayout(std::span<const std::uint8_t> data) {
  GifLayout layout;
  layout.is_gif = IsGif(data);
  if (!layout.is_gif || data.size() < kHeaderSize) return layout;
  layout.screen_width = U16(data, 6);
  layout.screen_height = U16(data, 8);
  std::size_t at = kHeaderSize + ColorTableSize(data[10]);
  // The graphic control extension just walked, if the block before this one was one.
  bool after_control = false;
  std::size_t control_at = 0;
  while (at < data.size() && layout.frames.size() < kMaxGifFrames) {
    const std::uint8_t kind = data[at];
    if (kind == kExtension) {
      if (data.size() - at < 2) break;
      const bool control = data[at + 1] == kGraphicControl;
      const std::size_t start = at;
      at += 2;
      if (!SkipSubBlocks(data, &at)) break;
      after_control = control;
      control_at = start;
    } else if (kind == kImageDescriptor) {
      if (data.size() - at < kDescriptorSize) break;
      GifFrame frame;
      frame.begin = after_control ? control_at : at;
      frame.left = U16(data, at + 1);
      frame.top = U16(data, at + 3);
      frame.width = U16(data, at + 5);
      frame.height = U16(data, at + 7);
      layout.frames.push_back(frame);
      const std::size_t table = ColorTableSize(data[at + 9]);
      at += kDescriptorSize;
      if (table > data.size() - at) break;
      at += table + 1;  // the colour table and the LZW code size
      if (!SkipSubBlocks(data, &at)) break;
      after_control = false;
    } else {
      break;  // the trailer, or a block no GIF has
    }
  }
  return layout;
}

std::vector<std::uint8_t> CopyFromFrame(std::span<const std::uint8_t> data, int frame,
                                        GifFrame* shown) {
  *shown = GifFrame{};
  const GifLayout layout = ReadGifLayout(data);
  if (layout.frames.empty()) return std::vector<std::uint8_t>(data.begin(), data.end());
  const std::size_t first = layout.frames.front().begin;
  std::vector<std::uint8_t> copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(first));
  if (frame >= 1 && static_cast<std::size_t>(frame) <= layout.frames.size()) {
    *shown = layout.frames[static_cast<std::size_t>(frame) - 1];
    copy.insert(copy.end(), data.begin() + static_cast<std::ptrdiff_t>(shown->begin), data.end());
  } else {
    copy.push_back(kTrailer);
  }
  return copy;
}

}  // namespace htmlabel
