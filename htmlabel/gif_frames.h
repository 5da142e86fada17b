// The frames of a GIF file, found by walking its blocks: the logical screen,
// where each frame begins and its image descriptor, and the copy of the file
// that leaves out the frames before a chosen one, so that a decoder that shows
// a GIF's first image shows that frame. Every read stays within the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace htmlabel {

// One frame: where it begins (its graphic control extension when one comes
// right before its image descriptor, else the descriptor) and the descriptor's
// position and size of the frame within the logical screen.
struct GifFrame {
  std::size_t begin = 0;     // offset of the frame's first byte
  std::uint16_t left = 0;    // left edge within the logical screen
  std::uint16_t top = 0;     // top edge within the logical screen
  std::uint16_t width = 0;   // width in pixels
  std::uint16_t height = 0;  // height in pixels
};

// What the walk found.
struct GifLayout {
  bool is_gif = false;              // at least 5 bytes starting "GIF8"
  std::uint16_t screen_width = 0;   // logical screen width (0 when not read)
  std::uint16_t screen_height = 0;  // logical screen height
  std::vector<GifFrame> frames;     // in file order; the walk stops at the
                                    // trailer, an unknown block or the end
};

// Frames beyond this many are not looked at.
constexpr std::size_t kMaxGifFrames = 65536;

// True when the bytes start like a GIF file ("GIF8", at least 5 bytes).
bool IsGif(std::span<const std::uint8_t> data);

// Walks the blocks of a GIF file; a truncated or malformed file gives the
// frames whose image descriptors lie complete before the damage.
GifLayout ReadGifLayout(std::span<const std::uint8_t> data);

// The file without the frames before frame number `frame` (from 1): the bytes
// before the first frame, then everything from that frame's beginning on.
// With no such frame every frame is left out. *shown receives the frame's
// descriptor (all zero when there is none). A file that is not a GIF or has
// no frame is copied whole.
std::vector<std::uint8_t> CopyFromFrame(std::span<const std::uint8_t> data, int frame,
                                        GifFrame* shown);

}  // namespace htmlabel
