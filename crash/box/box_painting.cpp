#include "crash/box/box_painting.h"

#include <algorithm>

namespace crash {

namespace {

uint32_t Channel(uint32_t colour, int shift) {
  return (colour >> shift) & 0xFF;
}

// Adds amount to every channel, each stopping at 0xFF.
uint32_t Lighten(uint32_t colour, uint32_t amount) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    result |= std::min<uint32_t>(Channel(colour, shift) + amount, 0xFF) << shift;
  }
  return result;
}

// a and b mixed a_parts : b_parts.
uint32_t Mix(uint32_t a, uint32_t b, uint32_t a_parts, uint32_t b_parts) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t mixed =
        (Channel(a, shift) * a_parts + Channel(b, shift) * b_parts) / (a_parts + b_parts);
    result |= mixed << shift;
  }
  return result;
}

uint32_t ReadU32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t ReadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

ButtonLook FocusedLook(uint32_t dark_shadow) {
  return {dark_shadow & 0xFFFFFF, 0xFFFFFF};
}

ButtonLook UnfocusedLook(uint32_t button_face, int bits_per_pixel, bool disabled) {
  uint32_t background = button_face & 0xFFFFFF;
  if (bits_per_pixel > 14) background = Lighten(background, disabled ? 0x08 : 0x10);
  return {background, 0x000000};
}

uint32_t MixEighths(uint32_t old_colour, uint32_t fresh, int old_eighths) {
  old_eighths = std::clamp(old_eighths, 0, 8);
  if (old_eighths == 0) return fresh & 0xFFFFFF;
  if (old_eighths == 8) return old_colour & 0xFFFFFF;
  return Mix(old_colour, fresh, old_eighths, 8 - old_eighths);
}

ButtonLook FadeLook(const ButtonLook& from, const ButtonLook& to, int step) {
  const int weight = kFadeOldWeights[std::clamp(step, 0, kFadeSteps - 1)];
  return {MixEighths(from.background, to.background, weight),
          MixEighths(from.text, to.text, weight)};
}

int CaptionX(int button_width, int caption_width) {
  return (button_width - caption_width - 35) / 2 + 27;
}

int CountdownPosition(uint32_t elapsed_ms, int button_width, int delay_seconds) {
  if (delay_seconds <= 0) return -1;
  const int64_t span = static_cast<int64_t>(delay_seconds) * 1000;
  return static_cast<int>((static_cast<int64_t>(elapsed_ms) * button_width + span / 2) / span);
}

CountdownLines CountdownLinesAt(int p, int button_width, uint32_t button_face, uint32_t background,
                                int bits_per_pixel) {
  CountdownLines lines;
  auto add = [&](int x, uint32_t colour) {
    if (x >= 0 && x < button_width) lines.strokes[lines.count++] = {x, colour & 0xFFFFFF};
  };
  add(p, button_face);
  if (bits_per_pixel > 14) {
    constexpr uint32_t kFaceParts[] = {3, 1, 1};
    constexpr uint32_t kBackParts[] = {1, 1, 3};
    for (int d = 1; d <= 3; ++d) {
      const uint32_t colour = Mix(button_face, background, kFaceParts[d - 1], kBackParts[d - 1]);
      add(p - d, colour);
      add(p + d, colour);
    }
  }
  return lines;
}

uint32_t BlendedPicture::At(int x, int y) const {
  const int row = top_down ? y : kPictureSide - 1 - y;
  return pixels[row * kPictureSide + x];
}

std::optional<BlendedPicture> BlendPicture(std::span<const uint8_t> bytes, uint32_t background) {
  if (bytes.size() != kPictureBitmapBytes) return std::nullopt;
  const uint8_t* header = bytes.data();
  const auto height = static_cast<int32_t>(ReadU32(header + 8));
  if (ReadU32(header) != 40 || ReadU32(header + 4) != kPictureSide ||
      (height != kPictureSide && height != -kPictureSide) || ReadU16(header + 12) != 1 ||
      ReadU16(header + 14) != 32 || ReadU32(header + 16) != 0) {
    return std::nullopt;
  }
  BlendedPicture picture;
  picture.top_down = height < 0;
  // The background as a section pixel: 0x00RRGGBB.
  const uint32_t back[3] = {Channel(background, 16), Channel(background, 8),
                            Channel(background, 0)};
  for (int i = 0; i < kPictureSide * kPictureSide; ++i) {
    const uint32_t pixel = ReadU32(header + 40 + 4 * i);
    const uint32_t weight = (pixel >> 24) + 1;
    uint32_t blended = 0;
    for (int c = 0; c < 3; ++c) {
      const int shift = 8 * c;
      const uint32_t value = (Channel(pixel, shift) * weight + back[c] * (256 - weight)) >> 8;
      blended |= value << shift;
    }
    picture.pixels[i] = blended;
  }
  return picture;
}

}  // namespace crash
