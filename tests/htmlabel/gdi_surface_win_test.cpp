// The GDI surface draws and measures one-line runs without DrawTextA where it
// can. Its answers must be DrawTextA's; its pixels must be DrawTextA's for a
// single glyph (placement, colours, background, underline, clipping), and for
// longer text those of ExtTextOutW with the glyph advances GDI reports as
// extents (the layout's own positions). Each case draws through the surface
// on one 32-bit bitmap and the reference, in the font the surface selected,
// on another.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "htmlabel/gdi_surface.h"

namespace htmlabel {
namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 48;
constexpr unsigned kRunFormat = text_format::kSingleLine | text_format::kBottom |
                                text_format::kExpandTabs | text_format::kExternalLeading;

// A top-down 32-bit bitmap selected into a memory device context.
class Bitmap {
 public:
  Bitmap() {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    Clear();
  }
  ~Bitmap() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  HDC Dc() const { return dc_; }
  void Clear() {
    GdiFlush();
    for (int i = 0; i < kWidth * kHeight; ++i)
      bits_[i] = 0x00FFFFFF;
  }
  std::vector<std::uint32_t> Pixels() const {
    GdiFlush();
    return std::vector<std::uint32_t>(bits_, bits_ + kWidth * kHeight);
  }
  // Number of pixels that are not white.
  int Inked() const {
    int inked = 0;
    for (std::uint32_t pixel : Pixels())
      inked += (pixel & 0x00FFFFFF) != 0x00FFFFFF;
    return inked;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  std::uint32_t* bits_ = nullptr;
};

Font MakeFont(const char* name, int size, unsigned style) {
  Font font;
  font.name = name;
  font.size = size;
  font.color = 0x800000;
  font.style = style;
  return font;
}

// ExtTextOutW of text at rect's left, on its top or (with DT_BOTTOM) a line
// height above its bottom, clipped to rect, each glyph advancing by the
// difference of GDI's partial extents.
void DrawWithExtents(HDC dc, const std::string& text, const Rect& rect, unsigned format) {
  std::wstring wide(text.size(), L'\0');
  const int size = static_cast<int>(text.size());
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
  std::vector<INT> ends(text.size());
  std::vector<INT> advances(text.size());
  SIZE whole{};
  GetTextExtentExPointW(dc, wide.data(), size, 0, nullptr, ends.data(), &whole);
  for (int i = 0; i < size; ++i)
    advances[i] = ends[i] - (i > 0 ? ends[i - 1] : 0);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int y = (format & DT_BOTTOM) ? rect.bottom - metrics.tmHeight : rect.top;
  const RECT clip{rect.left, rect.top, rect.right, rect.bottom};
  ExtTextOutW(dc, rect.left, y, ETO_CLIPPED, &clip, wide.data(), size, advances.data());
}

// One run drawn both ways. The surface first measures another text with the
// same flags, so that the run itself is measured and drawn from what it has
// learnt, and the check that it did so is part of the case.
struct RunCase {
  Font font;
  std::string text;
  unsigned format;
  Rect rect;
  bool opaque;
};

void CheckRun(const RunCase& c) {
  // Named in every failure. (Not SCOPED_TRACE: its thread-local storage
  // starts a watcher thread, and with a second thread the emulator this runs
  // under here loses the label's debug-output exception in later tests.)
  const std::string what = c.font.name + " " + std::to_string(c.font.size) + " style " +
                           std::to_string(c.font.style) + " \"" + c.text + "\" format " +
                           std::to_string(c.format) + (c.opaque ? " opaque" : "");
  Bitmap ours;
  Bitmap theirs;
  HFONT selected = nullptr;
  Rect measured = c.rect;
  int measured_result = 0;
  int drawn_result = 0;
  {
    GdiSurface surface(ours.Dc(), c.font, 0x00C0FFC0);
    surface.SetBackgroundMode(c.opaque ? BackgroundMode::kOpaque : BackgroundMode::kTransparent);
    Rect learn = c.rect;
    surface.DrawText("learn", &learn, c.format | text_format::kCalcRect);
    const long before = surface.PlainLineCalls();
    measured_result = surface.DrawText(c.text, &measured, c.format | text_format::kCalcRect);
    Rect drawn = c.rect;
    drawn_result = surface.DrawText(c.text, &drawn, c.format);
    EXPECT_EQ(surface.PlainLineCalls(), before + 2) << what << ": DrawTextA answered instead";
    surface.Flush();
    selected = static_cast<HFONT>(GetCurrentObject(ours.Dc(), OBJ_FONT));
    // The reference drawing needs the font alive: the surface's fonts are
    // kept for the process.
    SelectObject(theirs.Dc(), selected);
  }
  SetTextColor(theirs.Dc(), c.font.color);
  SetBkColor(theirs.Dc(), 0x00C0FFC0);
  SetBkMode(theirs.Dc(), c.opaque ? OPAQUE : TRANSPARENT);
  RECT area{c.rect.left, c.rect.top, c.rect.right, c.rect.bottom};
  const int size = static_cast<int>(c.text.size());
  Bitmap scratch;
  SelectObject(scratch.Dc(), selected);
  const int want_drawn =
      DrawTextA(size == 1 ? theirs.Dc() : scratch.Dc(), c.text.data(), size, &area, c.format);
  if (size > 1) DrawWithExtents(theirs.Dc(), c.text, c.rect, c.format);
  RECT want{c.rect.left, c.rect.top, c.rect.right, c.rect.bottom};
  const int want_measured =
      DrawTextA(theirs.Dc(), c.text.data(), size, &want, c.format | DT_CALCRECT);

  EXPECT_EQ(measured_result, want_measured) << what;
  EXPECT_EQ(drawn_result, want_drawn) << what;
  EXPECT_EQ(measured, (Rect{want.left, want.top, want.right, want.bottom})) << what;
  EXPECT_GT(ours.Inked(), 0) << what;
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels()) << what << ": pixels differ";
  SelectObject(scratch.Dc(), GetStockObject(SYSTEM_FONT));
  SelectObject(theirs.Dc(), GetStockObject(SYSTEM_FONT));
}

TEST(GdiSurfacePlainLines, RunsLookAndMeasureAsDrawTextADrawsThem) {
  const Font fonts[] = {
      MakeFont("Arial", 8, 0),
      MakeFont("Arial", 8, kBold),
      MakeFont("Arial", 8, kItalic),
      MakeFont("Arial", 8, kUnderline),
      MakeFont("Arial", 8, kStrikeOut),
      MakeFont("ARIAL", 12, 0),
      MakeFont("Times New Roman", 16, kItalic | kUnderline),
      MakeFont("MS Sans Serif", 8, 0),
      MakeFont("Symbol", 8, 0),
  };
  const char* const texts[] = {"Visit ", "www.velmo.com ", "\xB7", "caf\xE9 \xA9 100\x80", "W"};
  for (const Font& font : fonts) {
    for (const char* text : texts) {
      CheckRun(RunCase{font, text, kRunFormat, Rect{3, 2, 230, 40}, false});
      CheckRun(RunCase{font, text, kRunFormat, Rect{3, 2, 230, 40}, true});
    }
  }
  // Top-aligned lines, and a line that fits in an ellipsis run's rectangle.
  CheckRun(RunCase{fonts[0], "top line", text_format::kSingleLine, Rect{0, 5, 200, 30}, true});
  CheckRun(RunCase{fonts[5], "fits", kRunFormat | text_format::kEndEllipsis, Rect{1, 0, 200, 40},
                   false});
}

TEST(GdiSurfacePlainLines, TextTheTableCannotAnswerStillGoesToDrawTextA) {
  Bitmap ours;
  GdiSurface surface(ours.Dc(), MakeFont("Arial", 10, 0), 0xFFFFFF);
  Rect learn{0, 0, 200, 40};
  surface.DrawText("learn", &learn, kRunFormat | text_format::kCalcRect);
  const long before = surface.PlainLineCalls();
  // Prefix processing, a tab, an ellipsis that cuts, two lines.
  for (const char* text : {"a&b", "a\tb", "a much longer text than fits", "two\nlines"}) {
    Rect rect{0, 0, 40, 40};
    const unsigned format =
        std::strchr(text, ' ') ? kRunFormat | text_format::kEndEllipsis : kRunFormat;
    surface.DrawText(text, &rect, format);
  }
  EXPECT_EQ(surface.PlainLineCalls(), before);
  // Measured by the table: the extent of ASCII text is GDI's own.
  SIZE want{};
  GetTextExtentPoint32A(ours.Dc(), "Extent & width", 14, &want);
  const Size got = surface.TextExtent("Extent & width");
  EXPECT_EQ(got.cx, want.cx);
  EXPECT_EQ(got.cy, want.cy);
}

constexpr const char* kLinkRuns[] = {"Visit ", "www.velmo.com ", "now"};

// The link's runs as the renderer draws them: each measured, drawn, and the
// next placed at its measured end.
void DrawLinkRuns(GdiSurface& surface) {
  int x = 1;
  for (const char* run : kLinkRuns) {
    Rect measured{x, 0, 145, 17};
    surface.DrawText(run, &measured, kRunFormat | text_format::kCalcRect);
    Rect drawn{x, 0, 145, 17};
    surface.DrawText(run, &drawn, kRunFormat);
    x = measured.right;
  }
}

// Runs that continue each other are drawn in one call; they must land where
// the layout measured them, as if each had been drawn on its own, and
// held-back text must be drawn before anything drawn after it.
TEST(GdiSurfacePlainLines, ContinuingRunsAndDrawingOrder) {
  const Font link = MakeFont("Arial", 8, kUnderline);
  Bitmap ours;
  Bitmap theirs;
  {
    GdiSurface surface(ours.Dc(), link, 0xFFFFFF);
    DrawLinkRuns(surface);
    surface.Flush();
    HGDIOBJ font = GetCurrentObject(ours.Dc(), OBJ_FONT);
    SelectObject(theirs.Dc(), font);
    SetTextColor(theirs.Dc(), link.color);
    SetBkMode(theirs.Dc(), TRANSPARENT);
    int x = 1;
    for (const char* run : kLinkRuns) {
      RECT measured{x, 0, 145, 17};
      DrawTextA(theirs.Dc(), run, -1, &measured, kRunFormat | DT_CALCRECT);
      DrawWithExtents(theirs.Dc(), run, Rect{x, 0, 145, 17}, kRunFormat);
      x = measured.right;
    }
    // Text held back is drawn before a fill over it: the fill hides it.
    Rect again{1, 0, 145, 17};
    surface.DrawText("Visit ", &again, kRunFormat);
    surface.SetBrushColor(0x00FFFFFF);
    surface.FillRect(Rect{0, 0, kWidth, 20});
  }
  EXPECT_EQ(ours.Inked(), 0);
  ours.Clear();
  EXPECT_GT(theirs.Inked(), 0);
  {
    GdiSurface surface(ours.Dc(), link, 0xFFFFFF);
    DrawLinkRuns(surface);
  }
  // Drawn when the surface went away, exactly as the three calls drew it.
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels());
}

// Rectangles outlined in their fill's colour are filled in one call; the
// pixels must be those of GDI's Rectangle with that pen and brush.
TEST(GdiSurfaceRectangles, OutlineInTheFillColourCoversTheSamePixels) {
  struct Case {
    Rect rect;
    Color pen;
    Color fill;
  };
  const Case cases[] = {
      {Rect{3, 4, 40, 20}, 0x0000C000, 0x0000C000},     // a background band
      {Rect{50, 0, 51, 30}, 0x00102030, 0x00102030},    // one pixel wide
      {Rect{60, 5, 90, 6}, 0x00405060, 0x00405060},     // one pixel high
      {Rect{100, 2, 140, 30}, 0x000000FF, 0x00FF0000},  // a different outline
  };
  Bitmap ours;
  Bitmap theirs;
  {
    GdiSurface surface(ours.Dc(), MakeFont("Arial", 8, 0), 0xFFFFFF);
    for (const Case& c : cases) {
      surface.SetPen(Pen{c.pen, 1, PenStyle::kSolid});
      surface.SetBrushColor(c.fill);
      surface.Rectangle(c.rect);
    }
  }
  for (const Case& c : cases) {
    HPEN pen = CreatePen(PS_SOLID, 1, c.pen);
    HBRUSH brush = CreateSolidBrush(c.fill);
    HGDIOBJ old_pen = SelectObject(theirs.Dc(), pen);
    HGDIOBJ old_brush = SelectObject(theirs.Dc(), brush);
    ::Rectangle(theirs.Dc(), c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
    SelectObject(theirs.Dc(), old_pen);
    SelectObject(theirs.Dc(), old_brush);
    DeleteObject(pen);
    DeleteObject(brush);
  }
  EXPECT_GT(theirs.Inked(), 0);
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels());
}

}  // namespace
}  // namespace htmlabel
