// How the exception box paints its owner-drawn buttons, without system calls: the two
// looks and their fade, the caption's place, the countdown's position and its line, and the
// blending of a button picture kept as a 1064-byte alpha bitmap. Colours are the system's
// 0x00BBGGRR values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace crash {

// The colours a button is painted in.
struct ButtonLook {
  uint32_t background = 0;
  uint32_t text = 0;
  bool operator==(const ButtonLook&) const = default;
};

// The look of the focused button: the dark-shadow colour behind a white caption.
ButtonLook FocusedLook(uint32_t dark_shadow);
// The look of the other buttons: the button face behind a black caption, lightened by
// 0x10 a channel (0x08 for a disabled button) on displays of more than 14 bits per pixel;
// a channel stops at 0xFF.
ButtonLook UnfocusedLook(uint32_t button_face, int bits_per_pixel, bool disabled);

// Steps of a fade and the weight of the old colour in eighths at each.
inline constexpr int kFadeSteps = 8;
inline constexpr std::array<int, kFadeSteps> kFadeOldWeights = {7, 6, 5, 4, 3, 2, 1, 0};
// old and fresh mixed in the proportion old_eighths : 8 - old_eighths.
uint32_t MixEighths(uint32_t old_colour, uint32_t fresh, int old_eighths);
// The look at fade step 0..7 on the way from one look to the other.
ButtonLook FadeLook(const ButtonLook& from, const ButtonLook& to, int step);

// The caption's x in a button of this width: centred right of the picture.
int CaptionX(int button_width, int caption_width);

// The countdown's position in pixels across a button of this width after elapsed_ms of
// delay_seconds; -1 when the delay is 0 (no countdown).
int CountdownPosition(uint32_t elapsed_ms, int button_width, int delay_seconds);

// One vertical line of the countdown: its x in the button and its colour.
struct CountdownStroke {
  int x = 0;
  uint32_t colour = 0;
};
// The countdown's lines at position p: the button face at p and, above 14 bits per pixel,
// at p +- 1, 2, 3 the face and the background mixed 3:1, 1:1 and 1:3. Lines outside the
// button are left out; count tells how many of the seven are used.
struct CountdownLines {
  std::array<CountdownStroke, 7> strokes{};
  int count = 0;
};
CountdownLines CountdownLinesAt(int p, int button_width, uint32_t button_face, uint32_t background,
                                int bits_per_pixel);

// Size of a button picture kept as a bitmap: a 40-byte header and 16 x 16 pixels of 4 bytes.
inline constexpr int kPictureBitmapBytes = 1064;
inline constexpr int kPictureSide = 16;

// A picture blended with its background, ready for a 32-bit device-independent section.
struct BlendedPicture {
  bool top_down = false;  // rows as stored: top row first (else bottom row first)
  // Pixels as stored, each 0x00RRGGBB.
  std::array<uint32_t, kPictureSide * kPictureSide> pixels{};
  // The pixel at x, y counted from the top left.
  uint32_t At(int x, int y) const;
};

// Blends the picture's pixels with the background by weight alpha + 1 of 256. Nothing
// for bytes of any other size, or a header that is not of a 16 x 16 picture of 32 bits
// without compression.
std::optional<BlendedPicture> BlendPicture(std::span<const uint8_t> bytes, uint32_t background);

}  // namespace crash
