#include "htmlabel/gif_frames.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/htmlabel/gif_builder.h"

namespace htmlabel {
namespace {

using testing::GifBuilder;

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t to) {
  return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

TEST(GifFrames, ThreeFramesAndTheCopyFromTheSecond) {
  GifBuilder gif(60, 40);
  const std::size_t first = gif.Size();
  gif.Frame(0, 0, 60, 40);
  const std::size_t second = gif.Size();
  gif.Frame(30, 20, 20, 10);
  gif.Frame(5, 5, 10, 10).End();
  const std::vector<std::uint8_t>& bytes = gif.Bytes();

  const GifLayout layout = ReadGifLayout(bytes);
  EXPECT_TRUE(layout.is_gif);
  EXPECT_EQ(layout.screen_width, 60);
  EXPECT_EQ(layout.screen_height, 40);
  ASSERT_EQ(layout.frames.size(), 3u);
  EXPECT_EQ(layout.frames[0].begin, first);
  EXPECT_EQ(layout.frames[1].begin, second);
  EXPECT_EQ(layout.frames[1].left, 30);
  EXPECT_EQ(layout.frames[1].top, 20);
  EXPECT_EQ(layout.frames[1].width, 20);
  EXPECT_EQ(layout.frames[1].height, 10);

  GifFrame shown;
  const std::vector<std::uint8_t> copy = CopyFromFrame(bytes, 2, &shown);
  std::vector<std::uint8_t> expected = Slice(bytes, 0, first);
  const std::vector<std::uint8_t> rest = Slice(bytes, second, bytes.size());
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(copy, expected);
  EXPECT_EQ(shown.left, 30);
  EXPECT_EQ(shown.top, 20);
  // The copy's first frame is the one chosen.
  const GifLayout copied = ReadGifLayout(copy);
  ASSERT_EQ(copied.frames.size(), 2u);
  EXPECT_EQ(copied.frames[0].left, 30);

  EXPECT_EQ(CopyFromFrame(bytes, 1, &shown), bytes);
}

TEST(GifFrames, FrameBeginningsAndWhatIsNoFrame) {
  // An image without a graphic control extension is a frame beginning at its
  // descriptor; a comment between the extension and the image separates them.
  GifBuilder gif(10, 10, 0);
  const std::size_t plain = gif.Size();
  gif.Image(0, 0, 10, 10);
  gif.Control().Comment({'h', 'i'});
  const std::size_t after_comment = gif.Size();
  gif.Image(1, 1, 5, 5);
  // Image data that holds the bytes of a graphic control extension followed
  // by a descriptor 8 bytes on is still image data.
  const std::size_t third = gif.Size();
  gif.Frame(2, 2, 3, 3, {0x21, 0xF9, 0x04, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 9, 0, 9, 0, 0});
  gif.End();
  const GifLayout layout = ReadGifLayout(gif.Bytes());
  ASSERT_EQ(layout.frames.size(), 3u);
  EXPECT_EQ(layout.frames[0].begin, plain);
  EXPECT_EQ(layout.frames[1].begin, after_comment);
  EXPECT_EQ(layout.frames[2].begin, third);
  EXPECT_EQ(layout.frames[2].width, 3);
}

TEST(GifFrames, AFrameThatIsNotThereLeavesOutEveryFrame) {
  GifBuilder gif(8, 8);
  const std::size_t first = gif.Size();
  gif.Frame(0, 0, 8, 8).Frame(1, 1, 2, 2).End();
  for (int frame : {0, -1, 3, 1000}) {
    GifFrame shown{5, 5, 5, 5, 5};
    std::vector<std::uint8_t> expected = Slice(gif.Bytes(), 0, first);
    expected.push_back(0x3B);
    EXPECT_EQ(CopyFromFrame(gif.Bytes(), frame, &shown), expected) << frame;
    EXPECT_EQ(shown.width, 0);
    EXPECT_EQ(shown.left, 0);
  }
}

TEST(GifFrames, OtherDataIsCopiedWhole) {
  const std::vector<std::uint8_t> bmp = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  GifFrame shown;
  EXPECT_FALSE(ReadGifLayout(bmp).is_gif);
  EXPECT_EQ(CopyFromFrame(bmp, 2, &shown), bmp);
  // A GIF signature without any frame: nothing to leave out.
  const std::vector<std::uint8_t> bare = {'G', 'I', 'F', '8', '9'};
  EXPECT_TRUE(IsGif(bare));
  EXPECT_TRUE(ReadGifLayout(bare).frames.empty());
  EXPECT_EQ(ReadGifLayout(bare).screen_width, 0);
  EXPECT_EQ(CopyFromFrame(bare, 2, &shown), bare);
  EXPECT_FALSE(IsGif(std::vector<std::uint8_t>{'G', 'I', 'F', '8'}));
  EXPECT_FALSE(IsGif(std::vector<std::uint8_t>{'G', 'I', 'F', '9', 'a'}));
}

TEST(GifFrames, TruncatedFilesGiveTheFramesBeforeTheCut) {
  GifBuilder gif(60, 40, 8);
  gif.Frame(0, 0, 60, 40, std::vector<std::uint8_t>(200, 7));
  const std::size_t second_descriptor_end = gif.Size() + 8 + 10;
  gif.Frame(30, 20, 20, 10).Frame(5, 5, 10, 10).End();
  const std::vector<std::uint8_t>& bytes = gif.Bytes();
  std::size_t previous = 0;
  for (std::size_t size = 0; size <= bytes.size(); ++size) {
    const std::vector<std::uint8_t> cut = Slice(bytes, 0, size);
    const GifLayout layout = ReadGifLayout(cut);
    ASSERT_GE(layout.frames.size(), previous) << size;
    ASSERT_LE(layout.frames.size(), 3u);
    for (const GifFrame& frame : layout.frames)
      ASSERT_LT(frame.begin, size);
    if (size == second_descriptor_end - 1) {
      EXPECT_EQ(layout.frames.size(), 1u);
    }
    if (size == second_descriptor_end) {
      EXPECT_EQ(layout.frames.size(), 2u);
    }
    previous = layout.frames.size();
    GifFrame shown;
    ASSERT_LE(CopyFromFrame(cut, 2, &shown).size(), size + 1);
  }
  // A sub-block announced longer than the file ends the walk after its frame.
  std::vector<std::uint8_t> broken = Slice(bytes, 0, 13 + 768 + 8 + 10 + 1);
  broken.push_back(250);
  broken.push_back(1);
  EXPECT_EQ(ReadGifLayout(broken).frames.size(), 1u);
}

}  // namespace
}  // namespace htmlabel
