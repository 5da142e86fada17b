#include "htmlabel/html_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/exception.h"
#include "htmlabel/picture_cache.h"
#include "htmlabel/picture_container.h"
#include "tests/htmlabel/fake_picture_decoder.h"
#include "tests/htmlabel/gif_builder.h"

namespace htmlabel {
namespace {

using testing::BmpHeader;
using testing::FakePictureDecoder;
using testing::GifBuilder;

std::vector<std::uint8_t> ThreeFrames() {
  GifBuilder gif(60, 40);
  gif.Frame(0, 0, 60, 40).Frame(30, 20, 20, 10).Frame(5, 5, 10, 10).End();
  return gif.Bytes();
}

class HtmlPictureTest : public ::testing::Test {
 protected:
  FakePictureDecoder decoder_;
};

TEST_F(HtmlPictureTest, FrameTwoOfThreeIsDecodedAndPlacedWithinTheScreen) {
  THTMLPicture picture;
  int changes = 0;
  int frame_changes = 0;
  picture.OnChange = [&](fw::TObject*) { ++changes; };
  picture.OnFrameChange = [&](fw::TObject*) { ++frame_changes; };
  picture.LoadFromBytes(ThreeFrames());
  EXPECT_FALSE(picture.Empty());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(picture.FrameCount(), 3);
  EXPECT_EQ(picture.ScreenSize().cx, 60);
  EXPECT_EQ(picture.Width(), 60);  // frame 1 fills the screen

  picture.SetFrame(2);
  EXPECT_EQ(frame_changes, 1);
  EXPECT_EQ(picture.FrameRect(), (Rect{30, 20, 50, 30}));
  EXPECT_EQ(picture.Width(), 20);  // the decoder saw frame 2 first
  EXPECT_EQ(picture.Height(), 10);
  EXPECT_EQ(picture.ScreenSize().cy, 40);
  EXPECT_EQ(picture.FrameCount(), 3);
  EXPECT_EQ(picture.Data(), ThreeFrames());  // the data keeps every frame
}

TEST_F(HtmlPictureTest, DataThatDoesNotDecodeRaisesAndLeavesThePictureEmpty) {
  THTMLPicture picture;
  const std::vector<std::uint8_t> junk = {'J', 'U', 'N', 'K'};
  try {
    picture.LoadFromBytes(junk);
    FAIL() << "no exception";
  } catch (const fw::Exception& e) {
    EXPECT_STREQ(e.what(), "Could not load image. Invalid format");
  }
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.FrameCount(), -1);  // not a GIF
  // A GIF whose descriptor is cut off has no frame to show.
  std::vector<std::uint8_t> cut = ThreeFrames();
  cut.resize(13 + 6 + 8 + 4);
  EXPECT_THROW(picture.LoadFromBytes(cut), fw::Exception);
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(picture.FrameCount(), 0);
}

TEST_F(HtmlPictureTest, AddressesOfResourcesFilesAndTheWeb) {
  decoder_.resources["LOGO"] = BmpHeader(33, 22);
  THTMLPicture resource;
  resource.LoadFromAddress("rEs://LOGO");
  EXPECT_FALSE(resource.Empty());
  EXPECT_EQ(resource.Width(), 33);
  EXPECT_EQ(resource.ID(), "rEs://LOGO");

  THTMLPicture missing_resource;
  missing_resource.LoadFromAddress("RES://NONE");
  EXPECT_TRUE(missing_resource.Empty());
  EXPECT_EQ(missing_resource.ID(), "RES://NONE");

  const std::string path = ::testing::TempDir() + "html_picture_test.bmp";
  {
    const std::vector<std::uint8_t> bytes = BmpHeader(7, 9);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  THTMLPicture file;
  file.LoadFromAddress("File://" + path);
  EXPECT_FALSE(file.Empty());
  EXPECT_EQ(file.Height(), 9);
  std::remove(path.c_str());
  THTMLPicture gone;
  gone.LoadFromAddress("FILE://" + path);  // no error
  EXPECT_TRUE(gone.Empty());
  EXPECT_EQ(gone.ID(), "FILE://" + path);

  const int decodes = decoder_.calls;
  THTMLPicture recorded;
  recorded.SetAsynchronous(false);
  recorded.LoadFromAddress("http://www.velmo.com/logo.gif");
  EXPECT_TRUE(recorded.Empty());
  EXPECT_EQ(recorded.ID(), "http://www.velmo.com/logo.gif");
  EXPECT_FALSE(recorded.DownloadRunning());
  THTMLPicture waiting;
  waiting.LoadFromAddress("http://www.velmo.com/logo.gif");
  EXPECT_TRUE(waiting.Empty());
  EXPECT_EQ(waiting.PendingAddress(), "http://www.velmo.com/logo.gif");
  EXPECT_TRUE(waiting.DownloadRunning());
  EXPECT_EQ(decoder_.calls, decodes);
}

TEST_F(HtmlPictureTest, AssignCopiesTheDataAndStartsAtTheFirstFrame) {
  THTMLPicture source;
  source.LoadFromBytes(ThreeFrames());
  source.SetFrame(3);
  THTMLPicture copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.Data(), source.Data());
  EXPECT_EQ(copy.Frame(), 1);
  EXPECT_EQ(copy.Width(), 60);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
  EXPECT_TRUE(copy.Data().empty());
}

TEST_F(HtmlPictureTest, ContainerFindsNamesWithoutCaseAndReadsItsItems) {
  TPictureContainer container(nullptr);
  TPictureItem& first = container.Items().Add();
  first.SetName("Logo");
  first.Picture().LoadFromBytes(BmpHeader(4, 4));
  container.Items().Add().SetName("LOGO");
  EXPECT_EQ(container.PictureByName("lOgO"), &first.Picture());
  EXPECT_EQ(container.PictureByName("Log"), nullptr);

  TPictureContainer described(nullptr);
  const std::vector<std::uint8_t> bmp = BmpHeader(12, 3);
  EXPECT_TRUE(described.SetProperty("Items.0.Name", fw::PropertyValue::String("bar")));
  EXPECT_TRUE(described.SetProperty("Items.0.Picture.Data", fw::PropertyValue::Binary(bmp)));
  EXPECT_TRUE(described.SetProperty("Items.0.Tag", fw::PropertyValue::Integer(7)));
  EXPECT_FALSE(described.SetProperty("Items.2.Name", fw::PropertyValue::String("gap")));
  EXPECT_FALSE(described.SetProperty("Items.x.Name", fw::PropertyValue::String("x")));
  EXPECT_FALSE(
      described.SetProperty("Items.1.Picture.Data", fw::PropertyValue::Binary({'n', 'o'})));
  ASSERT_EQ(described.Items().Count(), 2u);
  EXPECT_EQ(described.Items().Item(0).Tag(), 7);
  EXPECT_EQ(described.PictureByName("BAR")->Width(), 12);

  TPictureItem copy;
  copy.Assign(described.Items().Item(0));
  EXPECT_EQ(copy.Name(), "bar");
  EXPECT_EQ(copy.Picture().Width(), 12);
}

TEST_F(HtmlPictureTest, CacheFindsAddressesExactly) {
  THTMLPictureCache cache;
  THTMLPicture& picture = cache.NewPicture();
  picture.SetAsynchronous(false);
  picture.LoadFromAddress("http://a.example/x.gif");
  EXPECT_EQ(cache.PictureByAddress("http://a.example/x.gif"), &picture);
  EXPECT_EQ(cache.PictureByAddress("HTTP://a.example/x.gif"), nullptr);
  cache.FreeAllPictures();
  EXPECT_EQ(cache.Count(), 0u);
  EXPECT_EQ(cache.PictureByAddress("http://a.example/x.gif"), nullptr);
}

}  // namespace
}  // namespace htmlabel
