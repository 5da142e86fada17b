#include "htmlabel/declared_picture_size.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/exception.h"
#include "htmlabel/html_picture.h"
#include "tests/htmlabel/fake_picture_decoder.h"
#include "tests/htmlabel/gif_builder.h"

namespace htmlabel {
namespace {

std::vector<std::uint8_t> Jpeg(int width, int height) {
  return {0xFF,
          0xD8,
          0xFF,
          0xE0,
          0,
          6,
          'J',
          'F',
          'I',
          'F',
          0xFF,
          0xFF,  // a fill byte
          0xFF,
          0xC2,
          0,
          11,
          8,
          static_cast<std::uint8_t>(height >> 8),
          static_cast<std::uint8_t>(height),
          static_cast<std::uint8_t>(width >> 8),
          static_cast<std::uint8_t>(width),
          1,
          1,
          0x11,
          0};
}

TEST(DeclaredPictureSize, EachFormatsHeader) {
  testing::GifBuilder gif(60, 40);
  gif.Frame(0, 0, 60, 40).Frame(10, 10, 70, 5).End();
  EXPECT_EQ(DeclaredPictureSize(gif.Bytes())->cx, 70);  // a frame beyond the screen counts
  EXPECT_EQ(DeclaredPictureSize(gif.Bytes())->cy, 40);
  const std::optional<Size> bmp = DeclaredPictureSize(testing::BmpHeader(418, 378));
  EXPECT_EQ(bmp->cx, 418);
  EXPECT_EQ(bmp->cy, 378);
  std::vector<std::uint8_t> top_down = testing::BmpHeader(10, 0);
  top_down[22] = top_down[23] = top_down[24] = 0xFF;
  top_down[25] = 0xFF;  // height -1
  EXPECT_EQ(DeclaredPictureSize(top_down)->cy, 1);
  const std::optional<Size> jpeg = DeclaredPictureSize(Jpeg(135, 200));
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(jpeg->cx, 135);
  EXPECT_EQ(jpeg->cy, 200);
  // Cut before the frame header, or not a picture: nothing known.
  std::vector<std::uint8_t> cut = Jpeg(135, 200);
  cut.resize(16);
  EXPECT_FALSE(DeclaredPictureSize(cut));
  EXPECT_FALSE(DeclaredPictureSize(std::vector<std::uint8_t>{'B', 'M', 0}));
  EXPECT_FALSE(DeclaredPictureSize(std::vector<std::uint8_t>{'x', 'y', 'z'}));
}

TEST(DeclaredPictureSize, AbsurdSizesAreRefusedBeforeDecoding) {
  EXPECT_TRUE(DeclaredSizeAcceptable(Jpeg(4096, 4096)));
  EXPECT_FALSE(DeclaredSizeAcceptable(Jpeg(65535, 65535)));
  EXPECT_FALSE(DeclaredSizeAcceptable(testing::BmpHeader(65535, 65535)));
  testing::GifBuilder gif(10, 10);
  gif.Frame(0, 0, 65535, 300).End();
  EXPECT_FALSE(DeclaredSizeAcceptable(gif.Bytes()));
  EXPECT_TRUE(DeclaredSizeAcceptable(std::vector<std::uint8_t>{'x'}));

  testing::FakePictureDecoder decoder;
  THTMLPicture picture;
  EXPECT_THROW(picture.LoadFromBytes(testing::BmpHeader(65535, 65535)), fw::Exception);
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(decoder.calls, 0);
}

}  // namespace
}  // namespace htmlabel
