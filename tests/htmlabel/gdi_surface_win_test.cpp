// The GDI surface draws and measures one-line runs without DrawTextA where it
// can. Its answers must be DrawTextA's; its pixels must be DrawTextA's for a
// single glyph (placement, colours, background, underline, clipping), and for
// longer text those of ExtTextOutW with the glyph advances GDI reports as
// extents (the layout's own positions). Each case draws through the surface
// on one 32-bit bitmap and the reference, in the font the surface selected,
// on another.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
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
  // With prefixes processed, "&&" shows one "&".
  std::string shown;
  for (std::size_t i = 0; i < c.text.size(); ++i) {
    shown.push_back(c.text[i]);
    if (c.text[i] == '&' && !(c.format & DT_NOPREFIX)) ++i;
  }
  if (size > 1) DrawWithExtents(theirs.Dc(), shown, c.rect, c.format);
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
  const char* const texts[] = {
      "Visit ", "www.velmo.com ", "\xB7", "caf\xE9 \xA9 100\x80", "W", "&& ", "R&&D"};
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

// Underlines the surface draws itself must be the system's, also under a
// run that overflows its rectangle (a word wider than the line): the system
// underlines the whole run whatever the clipping rectangle.
TEST(GdiSurfacePlainLines, UnderlinedRunsClippedShortOfTheirEnd) {
  for (const Font& font :
       {MakeFont("Arial", 8, kUnderline), MakeFont("Times New Roman", 16, kItalic | kUnderline),
        MakeFont("Arial", 20, kBold | kUnderline)}) {
    for (const bool opaque : {false, true})
      CheckRun(RunCase{font, "www.velmo.com", kRunFormat, Rect{3, 2, 40, 40}, opaque});
  }
  // A rotated run's underline turns with it: the system draws that one.
  Font rotated = MakeFont("Arial", 12, kUnderline);
  rotated.escapement = rotated.orientation = 100;
  CheckRun(RunCase{rotated, "rotated", kRunFormat, Rect{3, 2, 230, 40}, false});
}

// Blanks drawn in the system's call or left out of it (their advance given
// to the glyph before) leave the same pixels: a leading blank, two in a row,
// a trailing one, on a background and underlined.
TEST(GdiSurfacePlainLines, BlanksLeftOutChangeNoPixel) {
  for (const Font& font : {MakeFont("Arial", 8, 0), MakeFont("Arial", 8, kBold | kUnderline),
                           MakeFont("Times New Roman", 16, kItalic)}) {
    for (const bool opaque : {false, true})
      CheckRun(RunCase{font, " two  blanks, then one ", kRunFormat, Rect{3, 2, 230, 40}, opaque});
  }
}

// A plain line drawn in a font and flags never measured (a list bullet) is
// measured once and then drawn like any other.
TEST(GdiSurfacePlainLines, LineDrawnBeforeAnyMeasuringTakesTheTable) {
  const Font symbol = MakeFont("Symbol", 9, 0);
  Bitmap ours;
  Bitmap theirs;
  long plain = 0;
  {
    GdiSurface surface(ours.Dc(), symbol, 0xFFFFFF);
    Rect first{4, 0, 100, 20};
    surface.DrawText("\xB7", &first, kRunFormat);
    Rect second{30, 0, 100, 20};
    surface.DrawText("\xB7", &second, kRunFormat);
    plain = surface.PlainLineCalls();
    SelectObject(theirs.Dc(), GetCurrentObject(ours.Dc(), OBJ_FONT));
  }
  // Both drawings (the first one's measuring went to DrawTextA).
  EXPECT_EQ(plain, 2);
  SetTextColor(theirs.Dc(), symbol.color);
  SetBkMode(theirs.Dc(), TRANSPARENT);
  for (const int left : {4, 30}) {
    RECT rect{left, 0, 100, 20};
    DrawTextA(theirs.Dc(), "\xB7", 1, &rect, kRunFormat);
  }
  SelectObject(theirs.Dc(), GetStockObject(SYSTEM_FONT));
  EXPECT_GT(theirs.Inked(), 0);
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels());
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

// Draws rect with GDI's Rectangle in a pen and a brush of the given colours.
void GdiRectangle(HDC dc, const Rect& rect, Color pen_color, Color fill) {
  HPEN pen = CreatePen(PS_SOLID, 1, pen_color);
  HBRUSH brush = CreateSolidBrush(fill);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  DeleteObject(pen);
  DeleteObject(brush);
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
  for (const Case& c : cases)
    GdiRectangle(theirs.Dc(), c.rect, c.pen, c.fill);
  EXPECT_GT(theirs.Inked(), 0);
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels());
}

// The steps of a gradient band, as the renderer fills them: overlapping
// columns, each in its own colour.
std::vector<std::pair<Rect, Color>> GradientSteps(const Rect& band) {
  std::vector<std::pair<Rect, Color>> steps;
  const double step = (band.right - band.left) / 64.0;
  for (int i = 0; i < 64; ++i) {
    const int left = band.left + static_cast<int>(i * step + 0.5);
    const int right = std::min(band.right, left + static_cast<int>(step) + 1);
    const Color color = static_cast<Color>(0x10 + i * 3) | static_cast<Color>(0xFF - i) << 8 |
                        static_cast<Color>(i * 4) << 16;
    steps.emplace_back(Rect{left, band.top, right, band.bottom}, color);
  }
  return steps;
}

// Fills side by side in one band are drawn as one picture; it must hold the
// pixels of the fills drawn one by one, in order, within the clipping, and
// come before text drawn over it and after text drawn before it.
TEST(GdiSurfaceRectangles, BandsOfFillsCoverTheSamePixelsInOrder) {
  const Font font = MakeFont("Arial", 8, 0);
  const Rect clip{0, 0, 200, 40};
  Bitmap ours;
  Bitmap theirs;
  {
    GdiSurface surface(ours.Dc(), font, 0xFFFFFF);
    Rect before{150, 20, 240, 40};
    surface.DrawText("under", &before, kRunFormat);
    surface.SetClipRect(&clip);
    for (const Rect& band : {Rect{5, 2, 230, 16}, Rect{0, 16, 40, 30}, Rect{100, 30, 101, 33}}) {
      for (const auto& [rect, color] : GradientSteps(band)) {
        surface.SetPen(Pen{color, 1, PenStyle::kSolid});
        surface.SetBrushColor(color);
        surface.Rectangle(rect);
      }
    }
    // A fill that does not join the band (another row), then text over it.
    surface.SetBrushColor(0x00123456);
    surface.FillRect(Rect{10, 10, 60, 20});
    surface.SetClipRect(nullptr);
    Rect over{12, 0, 200, 20};
    surface.DrawText("over", &over, kRunFormat);
  }
  {
    GdiSurface surface(theirs.Dc(), font, 0xFFFFFF);
    Rect before{150, 20, 240, 40};
    surface.DrawText("under", &before, kRunFormat);
  }
  HRGN region = CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom);
  SelectClipRgn(theirs.Dc(), region);
  for (const Rect& band : {Rect{5, 2, 230, 16}, Rect{0, 16, 40, 30}, Rect{100, 30, 101, 33}}) {
    for (const auto& [rect, color] : GradientSteps(band))
      GdiRectangle(theirs.Dc(), rect, color, color);
  }
  GdiRectangle(theirs.Dc(), Rect{10, 10, 60, 20}, 0x00123456, 0x00123456);
  SelectClipRgn(theirs.Dc(), nullptr);
  DeleteObject(region);
  {
    GdiSurface surface(theirs.Dc(), font, 0xFFFFFF);
    Rect over{12, 0, 200, 20};
    surface.DrawText("over", &over, kRunFormat);
  }
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels());
}

// Lines joined end to start in one thin solid pen are drawn as one polyline;
// the pixels and the final position must be those of the LineTo calls.
TEST(GdiSurfaceLines, JoinedLinesDrawAsTheirLineToCalls) {
  struct Step {
    bool move;
    int x;
    int y;
    Color color;
    PenStyle style;
  };
  std::vector<Step> steps;
  // The error mark's zig-zag, a second one after a move, a change of pen in
  // the middle of a path, and a dotted part that is not joined.
  steps.push_back({true, 2, 10, clRed, PenStyle::kSolid});
  for (int x = 4, offset = 0; x <= 120; x += 2, offset = 2 - offset)
    steps.push_back({false, x, 10 + offset, clRed, PenStyle::kSolid});
  steps.push_back({true, 0, 30, clRed, PenStyle::kSolid});
  for (int x = 6; x <= 200; x += 6)
    steps.push_back({false, x, 30 + (x % 12 == 0 ? 5 : 0),
                     x < 100 ? Color{0x00008000} : Color{0x00800080}, PenStyle::kSolid});
  steps.push_back({false, 230, 45, 0x00000080, PenStyle::kDot});
  steps.push_back({false, 20, 40, 0x00000080, PenStyle::kSolid});
  Bitmap ours;
  Bitmap theirs;
  POINT ours_end{};
  {
    GdiSurface surface(ours.Dc(), MakeFont("Arial", 8, 0), 0xFFFFFF);
    for (const Step& step : steps) {
      surface.SetPen(Pen{step.color, 1, step.style});
      if (step.move)
        surface.MoveTo(step.x, step.y);
      else
        surface.LineTo(step.x, step.y);
    }
  }
  GetCurrentPositionEx(ours.Dc(), &ours_end);
  for (const Step& step : steps) {
    if (step.move) {
      MoveToEx(theirs.Dc(), step.x, step.y, nullptr);
      continue;
    }
    HPEN pen = CreatePen(step.style == PenStyle::kDot ? PS_DOT : PS_SOLID, 1, step.color);
    HGDIOBJ old = SelectObject(theirs.Dc(), pen);
    ::LineTo(theirs.Dc(), step.x, step.y);
    SelectObject(theirs.Dc(), old);
    DeleteObject(pen);
  }
  POINT theirs_end{};
  GetCurrentPositionEx(theirs.Dc(), &theirs_end);
  EXPECT_GT(theirs.Inked(), 0);
  EXPECT_TRUE(ours.Pixels() == theirs.Pixels());
  EXPECT_EQ(ours_end.x, theirs_end.x);
  EXPECT_EQ(ours_end.y, theirs_end.y);
}

}  // namespace
}  // namespace htmlabel
