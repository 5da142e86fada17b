// The box's painting rules on colours and pixels.
#include "crash/box/box_painting.h"

#include <gtest/gtest.h>

#include <vector>

namespace crash {
namespace {

TEST(BoxPainting, LooksAndTheirFade) {
  EXPECT_EQ(FocusedLook(0x404040), (ButtonLook{0x404040, 0xFFFFFF}));
  EXPECT_EQ(UnfocusedLook(0xC8D0D4, 32, false), (ButtonLook{0xD8E0E4, 0x000000}));
  EXPECT_EQ(UnfocusedLook(0xC8D0D4, 16, true).background, 0xD0D8DCu);
  EXPECT_EQ(UnfocusedLook(0xC8D0D4, 8, false).background, 0xC8D0D4u) << "not above 14 bits";
  // A light face stops at white instead of carrying into the next channel.
  EXPECT_EQ(UnfocusedLook(0xF0F0F0, 32, false).background, 0xFFFFFFu);
  EXPECT_EQ(UnfocusedLook(0x00F8F0, 32, true).background, 0x08FFF8u);

  const ButtonLook black{0x000000, 0xFFFFFF};
  const ButtonLook white{0xFFFFFF, 0x000000};
  EXPECT_EQ(FadeLook(black, white, 0), (ButtonLook{0x1F1F1F, 0xDFDFDF})) << "7/8 old";
  EXPECT_EQ(FadeLook(black, white, 3), (ButtonLook{0x7F7F7F, 0x7F7F7F})) << "4/8 old";
  EXPECT_EQ(FadeLook(black, white, 7), white) << "the last step is the new look";
  EXPECT_EQ(MixEighths(0x0000FF, 0xFF0000, 6), 0x3F00BFu);
}

TEST(BoxPainting, CaptionAndCountdownPositions) {
  EXPECT_EQ(CaptionX(100, 40), 39);
  EXPECT_EQ(CaptionX(82, 47), 27);
  // AutoDelay 2 across an 82-pixel button: rounded, at the width after two seconds,
  // beyond it a tick later.
  EXPECT_EQ(CountdownPosition(0, 82, 2), 0);
  EXPECT_EQ(CountdownPosition(12, 82, 2), 0);
  EXPECT_EQ(CountdownPosition(13, 82, 2), 1);
  EXPECT_EQ(CountdownPosition(1000, 82, 2), 41);
  EXPECT_EQ(CountdownPosition(2000, 82, 2), 82);
  EXPECT_GT(CountdownPosition(2013, 82, 2), 82);
  EXPECT_EQ(CountdownPosition(5000, 82, 0), -1);
  // An hour of a long delay does not overflow.
  EXPECT_EQ(CountdownPosition(3600000, 200, 3600), 200);
}

TEST(BoxPainting, CountdownLinesMixFaceAndBackground) {
  const CountdownLines lines = CountdownLinesAt(10, 82, 0xC0C0C0, 0x404040, 32);
  ASSERT_EQ(lines.count, 7);
  std::vector<std::pair<int, uint32_t>> seen;
  for (int i = 0; i < lines.count; ++i)
    seen.emplace_back(lines.strokes[i].x, lines.strokes[i].colour);
  const std::vector<std::pair<int, uint32_t>> expected = {
      {10, 0xC0C0C0}, {9, 0xA0A0A0}, {11, 0xA0A0A0}, {8, 0x808080},
      {12, 0x808080}, {7, 0x606060}, {13, 0x606060}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(CountdownLinesAt(1, 82, 0xC0C0C0, 0x404040, 32).count, 5) << "none left of 0";
  EXPECT_EQ(CountdownLinesAt(81, 82, 0xC0C0C0, 0x404040, 32).count, 4) << "none right of 81";
  EXPECT_EQ(CountdownLinesAt(10, 82, 0xC0C0C0, 0x404040, 8).count, 1) << "only the face line";
}

// A 1064-byte picture: the header, then every pixel set to fill, with row 0 (stored first)
// set to first_row.
std::vector<uint8_t> PictureBytes(int32_t height, uint32_t fill, uint32_t first_row) {
  std::vector<uint8_t> bytes(kPictureBitmapBytes, 0);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
      bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 40, 4);
  put(4, 16, 4);
  put(8, static_cast<uint32_t>(height), 4);
  put(12, 1, 2);
  put(14, 32, 2);
  for (int i = 0; i < 256; ++i)
    put(40 + 4 * i, i < 16 ? first_row : fill, 4);
  return bytes;
}

TEST(BoxPainting, PictureBlendsByAlphaPlusOne) {
  // Opaque blue over a red background (0x0000FF as the system writes red) stays blue.
  auto picture = BlendPicture(PictureBytes(16, 0xFF0000FF, 0xFF0000FF), 0x0000FF);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(5, 5), 0x0000FFu);
  // Clear white over red: weight 1 of 256.
  picture = BlendPicture(PictureBytes(16, 0x00FFFFFF, 0), 0x0000FF);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), 0xFF0000u);
  // Half-clear white over black; the first stored row is the bottom one.
  picture = BlendPicture(PictureBytes(16, 0x7FFFFFFF, 0xFF00FF00), 0x000000);
  ASSERT_TRUE(picture);
  EXPECT_FALSE(picture->top_down);
  EXPECT_EQ(picture->At(3, 0), 0x7F7F7Fu);
  EXPECT_EQ(picture->At(3, 15), 0x00FF00u);
  // Stored top-down (negative height), the first row is the top one.
  picture = BlendPicture(PictureBytes(-16, 0x7FFFFFFF, 0xFF00FF00), 0x000000);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(3, 0), 0x00FF00u);
}

TEST(BoxPainting, OtherBitmapsAreIgnored) {
  std::vector<uint8_t> bytes = PictureBytes(16, 0xFF000000, 0);
  EXPECT_FALSE(BlendPicture(std::span(bytes).first(1063), 0));
  bytes.push_back(0);
  EXPECT_FALSE(BlendPicture(bytes, 0)) << "1065 bytes";
  EXPECT_FALSE(BlendPicture({}, 0));
  for (const auto& [offset, value] : std::vector<std::pair<int, uint8_t>>{
           {0, 41}, {4, 15}, {8, 17}, {12, 2}, {14, 24}, {16, 3}}) {
    std::vector<uint8_t> wrong = PictureBytes(16, 0xFF000000, 0);
    wrong[offset] = value;
    EXPECT_FALSE(BlendPicture(wrong, 0)) << "header byte " << offset;
  }
}

}  // namespace
}  // namespace crash
