// Pictures in markup as Windows draws them: GIF, JPEG and BMP data decoded by
// OleLoadPicture (a chosen GIF frame at its offset, damaged data refused
// without a fault), image-list images with their mask, system file icons of
// real files, the body background tiled exactly over its rectangle, and the
// label's picture cache, emptied when its markup changes. The pictures are
// those the build draws into <build>/pictures, the working folder's.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/exception.h"
#include "htmlabel/common_image_list_win.h"
#include "htmlabel/draw_html.h"
#include "htmlabel/gdi_surface.h"
#include "htmlabel/html_label.h"
#include "htmlabel/html_picture.h"
#include "htmlabel/ole_picture_decoder_win.h"
#include "htmlabel/picture_cache.h"
#include "htmlabel/picture_container.h"
#include "htmlabel/system_icons_win.h"

namespace htmlabel {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;  // 0x00RRGGBB as the bitmap holds it
constexpr std::uint32_t kGreen = 0x00FF00;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::uint8_t> Picture(const char* name) {
  std::vector<std::uint8_t> bytes = ReadFile(std::string("pictures\\") + name);
  EXPECT_FALSE(bytes.empty()) << name << " missing in the working folder";
  return bytes;
}

// A top-down 32-bit bitmap of its own size selected into a memory device context.
class Bitmap {
 public:
  Bitmap(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i)
      bits_[i] = kWhite;
  }
  ~Bitmap() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  HDC Dc() const { return dc_; }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
  }

 private:
  int width_;
  int height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  std::uint32_t* bits_;
};

class MarkupImageWin : public ::testing::Test {
 protected:
  MarkupImageWin() : container_(nullptr) { UseSystemPictureLoader(); }

  THTMLPicture& Add(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    TPictureItem& item = container_.Items().Add();
    item.SetName(name);
    item.Picture().LoadFromBytes(bytes);
    return item.Picture();
  }

  // Draws markup on bitmap in bounds; the surface's colour is white.
  void Draw(Bitmap& bitmap, std::string_view markup, const Rect& bounds) {
    GdiSurface surface(bitmap.Dc(), Font{}, kWhite);
    args_.Bounds = bounds;
    args_.PictureContainer = &container_;
    args_.PictureCache = &cache_;
    DrawHTML(surface, markup, args_, results_);
  }

  TPictureContainer container_;
  THTMLPictureCache cache_;
  DrawHtmlArgs args_;
  DrawHtmlResults results_;
};

TEST_F(MarkupImageWin, TheSecondOfThreeGifFramesIsShownAtItsOffset) {
  THTMLPicture& picture = Add("anim", Picture("frames.gif"));
  EXPECT_EQ(picture.FrameCount(), 3);
  EXPECT_EQ(picture.ScreenSize().cx, 60);
  picture.SetFrame(2);
  EXPECT_EQ(picture.FrameRect(), (Rect{30, 20, 50, 30}));
  Bitmap bitmap(120, 80);
  Draw(bitmap, "<IMG src=\"anim\">", Rect{0, 0, 120, 80});
  EXPECT_EQ(results_.ExtentX, 60);  // the logical screen
  EXPECT_EQ(results_.ExtentY, 40);
  // The line starts 1 pixel in; the frame is green over its 20 x 10 pixels
  // at (30, 20) of the screen, and the rest of the screen was cleared.
  const int left = 1 + 30;
  const int top = 20;
  EXPECT_EQ(bitmap.At(left, top), kGreen);
  EXPECT_EQ(bitmap.At(left + 19, top + 9), kGreen);
  EXPECT_EQ(bitmap.At(left + 20, top + 9), kWhite);
  EXPECT_EQ(bitmap.At(left - 1, top), kWhite);
  EXPECT_EQ(bitmap.At(left, top - 1), kWhite);
  EXPECT_EQ(bitmap.At(5, 5), kWhite);  // no red of frame 1

  picture.SetFrame(1);
  Bitmap first(120, 80);
  Draw(first, "<IMG src=\"anim\">", Rect{0, 0, 120, 80});
  EXPECT_EQ(first.At(1, 0), kRed);
  EXPECT_EQ(first.At(60, 39), kRed);
  EXPECT_EQ(first.At(61, 39), kWhite);
}

TEST_F(MarkupImageWin, JpegAndBmpDecodeAndScaleByWidthAndHeight) {
  // The welcome window's picture, beside the tree the tests run in.
  const std::vector<std::uint8_t> welcome = ReadFile("..\\..\\resources\\welcome.jpg");
  ASSERT_FALSE(welcome.empty());
  THTMLPicture& jpeg = Add("photo", welcome);
  EXPECT_EQ(jpeg.Width(), 135);
  EXPECT_EQ(jpeg.Height(), 200);
  THTMLPicture& tile = Add("tile", Picture("tile.bmp"));
  EXPECT_EQ(tile.Width(), 7);
  EXPECT_EQ(tile.Height(), 5);
  Bitmap bitmap(120, 80);
  Draw(bitmap, "<IMG src=\"tile\" width=\"70\" height=\"50\">", Rect{0, 0, 120, 80});
  EXPECT_EQ(results_.ExtentX, 70);
  // Stretched ten times: the black corner pixel is 10 x 10 pixels now.
  EXPECT_EQ(bitmap.At(1, 0), 0u);
  EXPECT_EQ(bitmap.At(9, 8), 0u);
  EXPECT_NE(bitmap.At(13, 13), 0u);
  EXPECT_NE(bitmap.At(70, 49), kWhite);
  EXPECT_EQ(bitmap.At(71, 49), kWhite);
  EXPECT_EQ(bitmap.At(70, 50), kWhite);
}

TEST_F(MarkupImageWin, DamagedDataIsRefusedWithoutAFault) {
  const std::vector<std::uint8_t> gif = Picture("frames.gif");
  const std::vector<std::uint8_t> bmp = Picture("tile.bmp");
  std::vector<std::vector<std::uint8_t>> damaged;
  for (std::size_t size : {0u, 5u, 13u, 30u, 40u, 100u})
    damaged.emplace_back(gif.begin(), gif.begin() + std::min(size, gif.size()));
  for (std::size_t size : {2u, 20u, 54u, 60u})
    damaged.emplace_back(bmp.begin(), bmp.begin() + std::min(size, bmp.size()));
  std::vector<std::uint8_t> huge = bmp;  // a header claiming 65535 x 65535 pixels
  huge[18] = huge[19] = huge[22] = huge[23] = 0xFF;
  damaged.push_back(huge);
  std::vector<std::uint8_t> wide_gif = gif;  // a logical screen of 65535 x 65535
  wide_gif[6] = wide_gif[7] = wide_gif[8] = wide_gif[9] = 0xFF;
  damaged.push_back(wide_gif);
  damaged.push_back({0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0});
  for (const std::vector<std::uint8_t>& bytes : damaged) {
    THTMLPicture picture;
    try {
      picture.LoadFromBytes(bytes);
    } catch (const fw::Exception& e) {
      const std::string message = e.what();
      EXPECT_TRUE(message.starts_with("Could not")) << message;
      EXPECT_TRUE(picture.Empty());
    }
    // Whatever loaded draws within its box.
    Bitmap bitmap(40, 40);
    GdiSurface surface(bitmap.Dc(), Font{}, kWhite);
    picture.Draw(surface, Rect{0, 0, 40, 40});
  }
}

TEST_F(MarkupImageWin, ImageListImagesAreDrawnWithTheirMask) {
  const std::unique_ptr<TCommonImageList> images =
      TCommonImageList::FromBmpStrip(Picture("images.bmp"), 16, RGB(255, 0, 255));
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(images->Count(), 3);
  EXPECT_EQ(images->ImageSize().cx, 16);
  args_.ImageList = images.get();
  Bitmap bitmap(80, 40);
  Draw(bitmap, "<IMG src=\"idx:1\"><IMG src=\"IDX:3\">x", Rect{0, 0, 80, 40});
  EXPECT_EQ(bitmap.At(1 + 8, 8), 0x00AA00u);  // the green square
  EXPECT_EQ(bitmap.At(1 + 0, 0), kWhite);     // its magenta frame is transparent
  EXPECT_EQ(bitmap.At(1 + 15, 15), kWhite);
  EXPECT_EQ(TCommonImageList::FromBmpStrip(Picture("images.bmp"), 20, 0), nullptr);
  EXPECT_EQ(TCommonImageList::FromBmpStrip(Picture("frames.gif"), 16, 0), nullptr);
}

TEST_F(MarkupImageWin, SystemIconsOfRealFiles) {
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  const std::string notepad = std::string(windows) + "\\notepad.exe";
  ASSERT_NE(GetFileAttributesA(notepad.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_GE(SystemIconIndexOf(notepad, false), 0);
  EXPECT_GE(SystemIconIndexOf(windows, true), 0);  // a folder
  EXPECT_GE(SystemIconIndexOf(".txt", false), 0);  // a kind of file
  EXPECT_NE(SystemImageList(false), nullptr);
  Bitmap bitmap(120, 60);
  Draw(bitmap, "<IMG src=\"SSYS:" + notepad + "\"><IMG src=\"lsys:" + std::string(windows) + "\">",
       Rect{0, 0, 120, 60});
  int width = 0;
  int height = 0;
  ImageList_GetIconSize(SystemImageList(false), &width, &height);
  int large_width = 0;
  ImageList_GetIconSize(SystemImageList(true), &large_width, &height);
  EXPECT_EQ(results_.ExtentX, width + large_width);
  int drawn = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 1; x < 17; ++x)
      drawn += bitmap.At(x, y) != kWhite;
  EXPECT_GT(drawn, 16) << "no small icon drawn";
}

TEST_F(MarkupImageWin, SystemIconsBlendAsTheImageListDrawsThem) {
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  for (bool large : {false, true}) {
    const int index = SystemIconIndexOf(std::string(windows) + "\\notepad.exe", large);
    ASSERT_GE(index, 0);
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(SystemImageList(large), &width, &height);
    Bitmap ours(2 * width, height);
    Bitmap system(2 * width, height);
    for (Bitmap* bitmap : {&ours, &system}) {
      HBRUSH grey = CreateSolidBrush(RGB(90, 140, 200));
      RECT all{0, 0, 2 * width, height};
      FillRect(bitmap->Dc(), &all, grey);
      DeleteObject(grey);
    }
    DrawSystemIconAt(index, large, ours.Dc(), RECT{0, 0, width, height});
    DrawSystemIconAt(index, large, ours.Dc(), RECT{width, 0, 2 * width, height});  // kept copy
    ImageList_Draw(SystemImageList(large), index, system.Dc(), 0, 0, ILD_TRANSPARENT);
    ImageList_Draw(SystemImageList(large), index, system.Dc(), width, 0, ILD_TRANSPARENT);
    int worst = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < 2 * width; ++x) {
        for (int shift : {0, 8, 16}) {
          const int a = static_cast<int>(ours.At(x, y) >> shift & 0xFF);
          const int b = static_cast<int>(system.At(x, y) >> shift & 0xFF);
          worst = std::max(worst, std::abs(a - b));
        }
      }
    }
    EXPECT_LE(worst, 2) << (large ? "large" : "small");
  }
}

TEST_F(MarkupImageWin, TheBodyBackgroundCoversItsRectangleExactly) {
  Add("tile", Picture("tile.bmp"));
  // Few tiles are rendered one by one, many through a block: both exact.
  for (const Rect bounds : {Rect{3, 4, 3 + 30, 4 + 17}, Rect{2, 3, 2 + 190, 3 + 130}}) {
    Bitmap bitmap(200, 140);
    Draw(bitmap, "<BODY bgcolor=\"#0000FF\" background=\"tile\">", bounds);
    for (int y = 0; y < 140; ++y) {
      for (int x = 0; x < 200; ++x) {
        const bool inside =
            x >= bounds.left && x < bounds.right && y >= bounds.top && y < bounds.bottom;
        const bool corner = inside && (x - bounds.left) % 7 == 0 && (y - bounds.top) % 5 == 0;
        const std::uint32_t expected = !inside ? kWhite : corner ? 0u : 0xFFBE00u;
        ASSERT_EQ(bitmap.At(x, y), expected) << x << "," << y << " in " << bounds.right;
      }
    }
  }
}

TEST_F(MarkupImageWin, TheBodyBackgroundIsExactUnderAClipRegionAndOverManyBlocks) {
  Add("tile", Picture("tile.bmp"));
  // A clip region that starts inside a tile; a small area first, then areas
  // wider and higher than the block of tiles the picture keeps (it grows).
  const RECT clip{40, 33, 1150, 620};
  for (const Rect bounds : {Rect{3, 4, 3 + 100, 4 + 50}, Rect{2, 3, 2 + 1100, 3 + 600},
                            Rect{1, 1, 1 + 1190, 1 + 640}}) {
    Bitmap bitmap(1200, 650);
    HRGN region = CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
    SelectClipRgn(bitmap.Dc(), region);
    DeleteObject(region);
    Draw(bitmap, "<BODY bgcolor=\"#0000FF\" background=\"tile\">", bounds);
    SelectClipRgn(bitmap.Dc(), nullptr);
    for (int y = 0; y < 650; ++y) {
      for (int x = 0; x < 1200; ++x) {
        const bool inside = x >= std::max<int>(bounds.left, clip.left) &&
                            x < std::min<int>(bounds.right, clip.right) &&
                            y >= std::max<int>(bounds.top, clip.top) &&
                            y < std::min<int>(bounds.bottom, clip.bottom);
        const bool corner = inside && (x - bounds.left) % 7 == 0 && (y - bounds.top) % 5 == 0;
        const std::uint32_t expected = !inside ? kWhite : corner ? 0u : 0xFFBE00u;
        ASSERT_EQ(bitmap.At(x, y), expected) << x << "," << y << " in " << bounds.right;
      }
    }
  }
}

// A GIF of 2 x 1 pixels, red and transparent: a picture the system draws
// through its mask, tiled one by one or through a block made over the body
// colour.
std::vector<std::uint8_t> RedAndClearGif() {
  return {'G',  'I',  'F',  '8',  '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-entry table
          0,    0,    0,    0xFF, 0,   0,                            // black, red
          0x21, 0xF9, 4,    0x01, 0,   0,   0, 0,                    // index 0 transparent
          0x2C, 0,    0,    0,    0,   2,   0, 1, 0, 0,              // the image, 2 x 1
          2,    2,    0x0C, 0x0A, 0,  // code size 2: clear, 1, 0, end
          0x3B};
}

TEST_F(MarkupImageWin, ATransparentBackgroundIsTiledOverTheColourUnderAClipRegion) {
  THTMLPicture& picture = Add("holes", RedAndClearGif());
  ASSERT_EQ(picture.Width(), 2);
  ASSERT_EQ(picture.Height(), 1);
  // Few tiles one by one, many through a block; clipped to a region that
  // starts between two tiles.
  const RECT clip{7, 4, 180, 120};
  for (const Rect bounds : {Rect{3, 4, 3 + 16, 4 + 4}, Rect{2, 3, 2 + 190, 3 + 130}}) {
    Bitmap bitmap(200, 140);
    HRGN region = CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
    SelectClipRgn(bitmap.Dc(), region);
    DeleteObject(region);
    Draw(bitmap, "<BODY bgcolor=\"#0000FF\" background=\"holes\">", bounds);
    SelectClipRgn(bitmap.Dc(), nullptr);
    for (int y = 0; y < 140; ++y) {
      for (int x = 0; x < 200; ++x) {
        const bool inside = x >= std::max<int>(bounds.left, clip.left) &&
                            x < std::min<int>(bounds.right, clip.right) &&
                            y >= std::max<int>(bounds.top, clip.top) &&
                            y < std::min<int>(bounds.bottom, clip.bottom);
        const std::uint32_t expected = !inside                      ? kWhite
                                       : (x - bounds.left) % 2 == 0 ? kRed
                                                                    : 0x0000FFu;
        ASSERT_EQ(bitmap.At(x, y), expected) << x << "," << y << " in " << bounds.right;
      }
    }
  }
}

TEST_F(MarkupImageWin, TheLabelEmptiesItsCacheWhenTheMarkupChanges) {
  THTMLabel label(nullptr);
  label.SetHTMLText(
      "<IMG src=\"http://www.velmo.com/a.gif\"><IMG src=\"file://pictures\\tile.bmp\">");
  Bitmap bitmap(100, 40);
  {
    GdiSurface surface(bitmap.Dc(), Font{}, kWhite);
    DrawHtmlArgs args;
    args.Bounds = Rect{0, 0, 100, 40};
    DrawHtmlResults results;
    label.RenderHTML(surface, label.GetHTMLSource(), args, results);
    EXPECT_EQ(results.ExtentX, 7);  // the web picture stays empty and takes no room
  }
  EXPECT_EQ(bitmap.At(1, 0), 0u);
  ASSERT_EQ(label.PictureCache().Count(), 2u);
  EXPECT_TRUE(label.PictureCache().PictureByAddress("http://www.velmo.com/a.gif")->Empty());
  label.SetHTMLText("<B>other</B>");
  EXPECT_EQ(label.PictureCache().Count(), 0u);
  label.PictureCache().NewPicture();
  label.HTMLText().Add("<I>more</I>");  // an edit through the list itself
  EXPECT_EQ(label.PictureCache().Count(), 0u);
}

}  // namespace
}  // namespace htmlabel
