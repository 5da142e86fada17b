// The drawing surface of the markup renderer over a GDI device context: fonts
// by description (created once per description and kept while the surface
// lives), brush, pen, background mode, DrawTextA, fills, lines, the dotted
// focus rectangle and clipping. Everything it selects or changes in the
// device context is put back when it goes away.
//
// Measuring is a pure function of the font's metrics (underline and
// strikeout change none), the text, the flags and sometimes the rectangle's
// size, and the renderer measures the same runs more than once in one layout
// (to fit them, then with the drawing font after drawing them), so the
// surface keeps its measuring answers while it lives. Fonts are made once per
// description for the whole process, so that each paint does not make them again.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/canvas.h"
#include "htmlabel/drawing_surface.h"

namespace htmlabel {

// A DrawingSurface drawing on a device context it does not own.
class GdiSurface : public DrawingSurface {
 public:
  // A surface on dc starting with font and a solid brush of brush_color.
  GdiSurface(HDC dc, const Font& font, Color brush_color);
  // Puts back the device context's font, brush, pen, clipping and text settings.
  ~GdiSurface() override;
  GdiSurface(const GdiSurface&) = delete;
  GdiSurface& operator=(const GdiSurface&) = delete;

  // The device context.
  HDC Handle() const { return dc_; }
  // The 0x00BBGGRR value GDI draws for a colour (system colours resolved).
  static COLORREF ToRgb(Color color);
  // How many text calls reached the system (DrawTextA, GetTextExtentPoint32A).
  long SystemTextCalls() const { return system_text_calls_; }

  Font GetFont() const override { return font_; }
  void SetFont(const Font& font) override { font_ = font; }
  Color BrushColor() const override { return brush_color_; }
  void SetBrushColor(Color color) override;
  BrushStyle GetBrushStyle() const override { return brush_style_; }
  void SetBrushStyle(BrushStyle style) override { brush_style_ = style; }
  Pen GetPen() const override { return pen_; }
  void SetPen(const Pen& pen) override { pen_ = pen; }
  BackgroundMode GetBackgroundMode() const override { return mode_; }
  void SetBackgroundMode(BackgroundMode mode) override { mode_ = mode; }
  int DrawText(std::string_view text, Rect* rect, unsigned format) override;
  Size TextExtent(std::string_view text) override;
  void FillRect(const Rect& rect) override;
  void Rectangle(const Rect& rect) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void DrawFocusRect(const Rect& rect) override;
  void SetClipRect(const Rect* rect) override;
  int PixelsPerInch() const override { return pixels_per_inch_; }
  Color SystemColor(int index) const override;
  // Pictures come with the picture sources; until then nothing is drawn.
  void DrawPicture(const SurfacePicture& picture, const Rect& rect) override;

 private:
  void SelectFont();
  void SelectPen();
  void SelectBrush();
  void PrepareText();

  // How a measured rectangle follows from the one asked about.
  enum class Fit {
    kBottomAligned,  // bottom-aligned single line: left, top and bottom stay, right is
                     // left + width, the result is the rectangle's height
    kTopPlusHeight,  // top-aligned: left and top stay, right is left + width, bottom
                     // top + the result
    kSameSizeOnly,   // only for a rectangle of the same size: edges relative to it
  };
  // A measuring question: font metrics, text, flags, whether the answer holds
  // for any rectangle, else the rectangle's width and height.
  using MeasureKey = std::tuple<int, std::string, unsigned, bool, int, int>;
  // A measuring answer.
  struct Measured {
    Fit fit;     // how to apply it
    Rect rect;   // the measured rectangle moved to the asked one's origin
    int height;  // DrawText's result
  };
  int MetricsIndex();

  HDC dc_;
  int pixels_per_inch_;
  Font font_;
  Color brush_color_;
  BrushStyle brush_style_ = BrushStyle::kSolid;
  Pen pen_;
  BackgroundMode mode_ = BackgroundMode::kTransparent;

  HGDIOBJ selected_font_ = nullptr;  // the font of ours selected, or null
  Font selected_description_;        // its description
  // Font descriptions without underline and strikeout, one per set of metrics.
  std::vector<Font> metrics_;
  std::map<MeasureKey, Measured> measured_;
  std::map<std::pair<int, std::string>, Size> extents_;
  long system_text_calls_ = 0;
  fw::GdiObject pen_object_;
  Pen selected_pen_;
  bool pen_selected_ = false;
  fw::GdiObject brush_object_;
  Color selected_brush_ = clNone;
  bool brush_selected_ = false;

  // What the device context had at the start.
  HGDIOBJ original_font_;
  HGDIOBJ original_pen_;
  HGDIOBJ original_brush_;
  int original_mode_;
  COLORREF original_text_color_;
  COLORREF original_back_color_;
  bool clip_saved_ = false;
  HRGN original_clip_ = nullptr;  // null: there was no clipping region
};

}  // namespace htmlabel
