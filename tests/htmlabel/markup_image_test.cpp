// Images in markup: image-list images, system file icons, named and
// addressed pictures, animated GIF frames and the tiled body background, laid
// out and drawn on the recording surface (8-point glyphs 8 x 16 pixels).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "htmlabel/draw_html.h"
#include "htmlabel/picture_cache.h"
#include "htmlabel/picture_container.h"
#include "htmlabel/picture_geometry.h"
#include "tests/htmlabel/fake_picture_decoder.h"
#include "tests/htmlabel/gif_builder.h"
#include "tests/htmlabel/test_surface.h"

namespace htmlabel {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class FakeImageList : public TImageList {
 public:
  int Count() const override { return 3; }
  Size ImageSize() const override { return Size{16, 16}; }
};

class MarkupImageTest : public ::testing::Test {
 protected:
  MarkupImageTest() : container_(nullptr) {
    Add("pic", testing::BmpHeader(30, 40));
    Add("tile", testing::BmpHeader(7, 5));
    testing::GifBuilder gif(60, 40);
    gif.Frame(0, 0, 60, 40).Frame(30, 20, 20, 10).Frame(5, 5, 10, 10).End();
    Add("anim", gif.Bytes()).SetFrame(2);
    args_.Bounds = Rect{0, 0, 200, 200};
    args_.ImageList = &images_;
    args_.PictureContainer = &container_;
    args_.PictureCache = &cache_;
  }

  THTMLPicture& Add(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    TPictureItem& item = container_.Items().Add();
    item.SetName(name);
    item.Picture().LoadFromBytes(bytes);
    return item.Picture();
  }

  bool Draw(std::string_view markup) {
    surface_.ClearCalls();
    results_ = DrawHtmlResults();
    return DrawHTML(surface_, markup, args_, results_);
  }

  // The recorded calls that start with prefix.
  std::vector<std::string> Calls(std::string_view prefix) const {
    std::vector<std::string> calls;
    for (const std::string& call : surface_.Calls()) {
      if (call.starts_with(prefix)) calls.push_back(call);
    }
    return calls;
  }

  // The bottom of the box the text call for text was drawn in.
  int TextBottom(const std::string& text) const {
    for (const std::string& call : surface_.Calls()) {
      if (call.starts_with("text ") && call.find("\"" + text + "\"") != std::string::npos) {
        const size_t close = call.find(']');
        const size_t comma = call.rfind(',', close);
        return std::stoi(call.substr(comma + 1, close - comma - 1));
      }
    }
    return -1;
  }

  testing::FakePictureDecoder decoder_;
  TPictureContainer container_;
  THTMLPictureCache cache_;
  FakeImageList images_;
  TestSurface surface_;
  DrawHtmlArgs args_;
  DrawHtmlResults results_;
};

TEST_F(MarkupImageTest, ImageListImagesTakeRoomOnTheLine) {
  Draw("ab<IMG src=\"idx:1\">cd<IMG SRC=\"IDX:3\">");
  EXPECT_THAT(Calls("listimage"), ElementsAre("listimage 1 [17,0,33,16]"));
  EXPECT_EQ(TextBottom("cd"), 16);
  EXPECT_EQ(results_.ExtentX, 48);  // the index beyond the list takes no room
  args_.ImageList = nullptr;
  Draw("ab<IMG src=\"idx:1\">cd");
  EXPECT_THAT(Calls("listimage"), IsEmpty());
  EXPECT_EQ(results_.ExtentX, 32);
}

TEST_F(MarkupImageTest, ATallImageRaisesTheLineAndAlignMovesTheText) {
  Draw("<IMG src=\"pic\">x");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 30x40 [1,0,31,40]"));
  EXPECT_EQ(results_.ExtentY, 40);
  EXPECT_EQ(TextBottom("x"), 40);  // text stands on the line's bottom
  Draw("<IMG src=\"pic\" align=\"top\">x");
  EXPECT_EQ(TextBottom("x"), 16);
  Draw("<IMG src=\"pic\" ALIGN=\"MIDDLE\">x");
  EXPECT_EQ(TextBottom("x"), 28);
  // ALT is read by nobody and stops nothing.
  Draw("<IMG src=\"pic\" alt=\"A picture\">");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 30x40 [1,0,31,40]"));
}

TEST_F(MarkupImageTest, WidthAndHeightStretchAndAreScaledByTheDevice) {
  Draw("<IMG src=\"pic\" width=\"50\" height=\"20\">");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 30x40 [1,0,51,20]"));
  EXPECT_EQ(results_.ExtentX, 50);
  // One of them missing or below 1: natural size.
  Draw("<IMG src=\"pic\" width=\"50\" height=\"0\">");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 30x40 [1,0,31,40]"));
  surface_.SetPixelsPerInch(120);
  Draw("<IMG src=\"pic\" width=\"96\" height=\"96\">");
  EXPECT_EQ(results_.ExtentX, 120);
  EXPECT_EQ(results_.ExtentY, 120);
  Draw("<IMG src=\"idx:0\">");
  EXPECT_EQ(results_.ExtentX, 20);
  surface_.SetPixelsPerInch(96);
  // Absurd sizes are bounded, not overflowed.
  args_.Bounds.bottom = 1 << 20;
  Draw("<IMG src=\"pic\" width=\"99999999999\" height=\"4294967297\">x");
  EXPECT_EQ(results_.ExtentX, kMaxPictureExtent);
  EXPECT_EQ(results_.ExtentY, kMaxPictureExtent + 16);  // "x" on the next line
}

TEST_F(MarkupImageTest, AnImageInsideAnAnchorIsALink) {
  args_.NoDraw = true;
  args_.MouseX = 15;
  args_.MouseY = 20;
  EXPECT_TRUE(Draw("<A href=\"pic-target\"><IMG src=\"pic\"></A> after"));
  EXPECT_EQ(results_.AnchorAtMouse, "pic-target");
  EXPECT_EQ(results_.AnchorIndexAtMouse, 1);
  EXPECT_EQ(results_.AnchorBounds, (Rect{1, 0, 31, 40}));
  // The image's edges are outside it; so is a picture outside any anchor.
  for (Point point : {Point{1, 20}, Point{31, 20}, Point{15, 0}, Point{15, 40}, Point{40, 20}}) {
    args_.MouseX = point.x;
    args_.MouseY = point.y;
    EXPECT_FALSE(Draw("<A href=\"pic-target\"><IMG src=\"pic\"></A> after")) << point.x;
  }
  args_.MouseX = 15;
  args_.MouseY = 20;
  EXPECT_FALSE(Draw("<IMG src=\"pic\"><A href=\"t\">x</A>"));
}

TEST_F(MarkupImageTest, AnImageTooWideForTheRestOfTheLineStartsTheNext) {
  args_.Bounds = Rect{0, 0, 100, 200};  // 99 pixels of line
  Draw("aaaaaaaaa<IMG src=\"pic\">b");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 30x40 [1,16,31,56]"));
  EXPECT_EQ(results_.ExtentY, 16 + 40);
  // Wider than the whole line: placed anyway, overflowing.
  Draw("aaaaaaaaa<IMG src=\"pic\" width=\"150\" height=\"10\">");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 30x40 [73,0,223,10]"));
  EXPECT_EQ(results_.ExtentX, 72 + 150);
}

TEST_F(MarkupImageTest, AWebAddressIsRecordedOnceAndStaysEmpty) {
  const int decodes = decoder_.calls;
  Draw("<IMG src=\"http://www.velmo.com/Logo.gif\">ab");
  ASSERT_EQ(cache_.Count(), 1u);
  THTMLPicture* picture = cache_.PictureByAddress("http://www.velmo.com/Logo.gif");
  ASSERT_NE(picture, nullptr);
  EXPECT_TRUE(picture->Empty());
  EXPECT_FALSE(picture->DownloadRunning());  // no download was started
  EXPECT_EQ(results_.ExtentX, 16);           // it takes no room
  EXPECT_THAT(Calls("picture"), IsEmpty());
  Draw("<IMG src=\"http://www.velmo.com/Logo.gif\">ab");
  EXPECT_EQ(cache_.Count(), 1u);
  EXPECT_EQ(decoder_.calls, decodes);
  // Without a cache or a container nothing is found.
  args_.PictureCache = nullptr;
  args_.PictureContainer = nullptr;
  Draw("<IMG src=\"http://other/x.gif\"><IMG src=\"pic\">ab");
  EXPECT_EQ(results_.ExtentX, 16);
}

TEST_F(MarkupImageTest, ResourcesByAddressLoadOnceAndBadOnesStayEmpty) {
  decoder_.resources["LOGO"] = testing::BmpHeader(10, 12);
  decoder_.resources["BROKEN"] = {'x', 'y'};
  Draw("<IMG src=\"res://LOGO\"><IMG src=\"res://BROKEN\">");
  EXPECT_THAT(Calls("picture"), ElementsAre("picture 10x12 [1,0,11,12]"));
  EXPECT_EQ(cache_.Count(), 2u);
  const int decodes = decoder_.calls;
  Draw("<IMG src=\"res://LOGO\"><IMG src=\"res://BROKEN\">");
  EXPECT_EQ(decoder_.calls, decodes);
  EXPECT_EQ(results_.ExtentX, 10);
}

TEST_F(MarkupImageTest, AnAnimatedGifShowsItsFrameAtItsOffsetOnTheScreenArea) {
  Draw("<IMG src=\"anim\">");
  const std::vector<std::string> calls = surface_.Calls();
  const auto picture = std::find(calls.begin(), calls.end(), "picture 20x10 [31,20,51,30]");
  ASSERT_NE(picture, calls.end()) << surface_.Log();
  // The screen area was cleared first, in the surface's colour at entry.
  const auto clear = std::find_if(calls.begin(), picture, [](const std::string& call) {
    return call.starts_with("rectangle [1,0,61,40]") && call.find("ffffff") != std::string::npos;
  });
  EXPECT_NE(clear, picture) << surface_.Log();
  EXPECT_EQ(results_.ExtentX, 60);  // laid out by the logical screen
  EXPECT_EQ(results_.ExtentY, 40);
}

TEST_F(MarkupImageTest, BodyBackgroundIsTiledOverTheColourWithinTheBounds) {
  args_.Bounds = Rect{5, 6, 105, 56};
  Draw("<BODY bgcolor=\"#FF0000\" background=\"tile\">x");
  const std::vector<std::string> calls = surface_.Calls();
  const auto tile = std::find(calls.begin(), calls.end(), "tile 7x5 [5,6,105,56]");
  ASSERT_NE(tile, calls.end()) << surface_.Log();
  ASSERT_NE(tile, calls.begin());
  EXPECT_EQ(*(tile - 1), "clip [5,6,105,56]");
  EXPECT_EQ(*(tile + 1), "clip none");
  const auto fill = std::find_if(calls.begin(), tile, [](const std::string& call) {
    return call.starts_with("rectangle [5,6,105,56]");
  });
  EXPECT_NE(fill, tile);
  // Not found, or only measuring: nothing tiled.
  Draw("<BODY background=\"nothing\">x");
  EXPECT_THAT(Calls("tile"), IsEmpty());
  args_.NoDraw = true;
  Draw("<BODY background=\"tile\">x");
  EXPECT_THAT(Calls("tile"), IsEmpty());
}

TEST_F(MarkupImageTest, SystemIconsByNameOrIndex) {
  surface_.SetSystemIcon("C:\\Data\\a.txt", 5);
  Draw("<IMG src=\"ssys:C:\\Data\\a.txt\"><IMG src=\"LSYS:12\"><IMG src=\"SSYS:unknown\">x");
  EXPECT_THAT(Calls("smallicon"), ElementsAre("smallicon 5 [1,0,17,16]"));
  EXPECT_THAT(Calls("largeicon"), ElementsAre("largeicon 12 [17,0,49,32]"));
  EXPECT_EQ(results_.ExtentX, 48 + 8);
  EXPECT_EQ(results_.ExtentY, 32);
  // In print mode they are drawn at the scale factor.
  args_.PrintMode = true;
  args_.ScaleFactor = 2.5;
  Draw("<IMG src=\"LSYS:12\"><IMG src=\"idx:2\">");
  EXPECT_THAT(Calls("largeicon"), ElementsAre("largeicon 12 [1,0,81,80]"));
  EXPECT_THAT(Calls("listimage"), ElementsAre("listimage 2 [33,0,73,40]"));
}

}  // namespace
}  // namespace htmlabel
