// The box's button pictures kept as bitmaps: any bytes are refused or blended, never read
// past; a blended pixel's every channel lies between the picture's and the background's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "crash/box/box_painting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t background = size >= 3 ? (data[0] | data[1] << 8 | data[2] << 16) : 0x808080;
  const auto picture = crash::BlendPicture(std::span(data, size), background);
  if (!picture) return 0;
  if (size != crash::kPictureBitmapBytes) std::abort();
  for (int i = 0; i < crash::kPictureSide * crash::kPictureSide; ++i) {
    const uint8_t* stored = data + 40 + 4 * i;  // blue, green, red, alpha
    const uint32_t blended = picture->pixels[i];
    const uint32_t back[3] = {background >> 16 & 0xFF, background >> 8 & 0xFF, background & 0xFF};
    for (int c = 0; c < 3; ++c) {
      const uint32_t value = blended >> (8 * c) & 0xFF;
      const uint32_t low = stored[c] < back[c] ? stored[c] : back[c];
      const uint32_t high = stored[c] < back[c] ? back[c] : stored[c];
      if (value < low || value > high) std::abort();
    }
  }
  return 0;
}
