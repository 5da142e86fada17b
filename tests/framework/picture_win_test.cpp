// Pictures from bytes: the welcome JPEG decodes at its natural size, BMP
// rows land the right way up, and damaged or truncated data is refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "framework/exception.h"
#include "framework/picture.h"

namespace fw {
namespace {

std::vector<std::uint8_t> ReadBytes(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void PutU32(std::vector<std::uint8_t>* bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*bytes)[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A 2 x 2, 24-bit bottom-up BMP: bottom row red, blue; top row green, white.
std::vector<std::uint8_t> SmallBmp() {
  std::vector<std::uint8_t> bmp(54 + 2 * 8, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutU32(&bmp, 2, static_cast<std::uint32_t>(bmp.size()));
  PutU32(&bmp, 10, 54);
  PutU32(&bmp, 14, 40);
  PutU32(&bmp, 18, 2);
  PutU32(&bmp, 22, 2);
  bmp[26] = 1;
  bmp[28] = 24;
  const std::uint8_t rows[] = {0, 0,   255, 255, 0,   0,   0, 0,   // bottom: red, blue, padding
                               0, 255, 0,   255, 255, 255, 0, 0};  // top: green, white
  std::copy(std::begin(rows), std::end(rows), bmp.begin() + 54);
  return bmp;
}

TEST(Picture, WelcomeJpegDecodesAtNaturalSize) {
  const std::vector<std::uint8_t> jpeg = ReadBytes(FRAMEWORK_TEST_RESOURCES "/welcome.jpg");
  ASSERT_GT(jpeg.size(), 1000u);
  TPicture picture;
  picture.LoadFromBytes(jpeg.data(), jpeg.size());
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TJPEGImage");
  EXPECT_EQ(picture.Graphic()->Width(), 135);
  EXPECT_EQ(picture.Graphic()->Height(), 200);

  // Cut short or corrupted, the stream is refused and the old picture stays.
  std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + 300);
  EXPECT_THROW(picture.LoadFromBytes(cut.data(), cut.size()), EReadError);
  std::vector<std::uint8_t> garbage = {0xFF, 0xD8, 0x00, 0x01, 0x02};
  EXPECT_THROW(picture.LoadFromBytes(garbage.data(), garbage.size()), EReadError);
  EXPECT_EQ(picture.Graphic()->Width(), 135);
  const std::uint8_t text[] = "GIF89a";
  EXPECT_THROW(picture.LoadFromBytes(text, sizeof text), EReadError);
}

TEST(Picture, BitmapRowsAndBounds) {
  std::vector<std::uint8_t> bmp = SmallBmp();
  TBitmap bitmap;
  bitmap.LoadFromBytes(bmp.data(), bmp.size());
  ASSERT_EQ(bitmap.Width(), 2);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.Pixels(), (std::vector<std::uint32_t>{0x00FF00, 0xFFFFFF, 0xFF0000, 0x0000FF}));

  // Every size field is checked against the bytes that are really there.
  for (std::size_t cut : {std::size_t{0}, std::size_t{20}, std::size_t{53}, bmp.size() - 1}) {
    EXPECT_THROW(bitmap.LoadFromBytes(bmp.data(), cut), EReadError) << cut;
  }
  std::vector<std::uint8_t> huge = SmallBmp();
  PutU32(&huge, 18, 0x7FFFFFFF);
  EXPECT_THROW(bitmap.LoadFromBytes(huge.data(), huge.size()), EReadError);
  std::vector<std::uint8_t> far = SmallBmp();
  PutU32(&far, 10, 0xFFFFFFF0);
  EXPECT_THROW(bitmap.LoadFromBytes(far.data(), far.size()), EReadError);
  std::vector<std::uint8_t> min_height = SmallBmp();
  PutU32(&min_height, 22, 0x80000000);
  EXPECT_THROW(bitmap.LoadFromBytes(min_height.data(), min_height.size()), EReadError);
  std::vector<std::uint8_t> top_down = SmallBmp();
  PutU32(&top_down, 22, static_cast<std::uint32_t>(-2));
  bitmap.LoadFromBytes(top_down.data(), top_down.size());
  EXPECT_EQ(bitmap.Pixels()[0], 0xFF0000u);
}

}  // namespace
}  // namespace fw
