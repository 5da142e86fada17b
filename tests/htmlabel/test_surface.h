// A drawing surface with fixed, simple glyph metrics that records every drawing
// call as a line of text, so that layouts can be checked exactly on any host.
//
// Metrics: a font of s points (s <= 0 counts as 8) has glyphs s pixels wide and
// 2 * s pixels high, whatever the face, style or character; a tab advances to
// the next multiple of 8 glyph widths. DrawText processes "&" prefixes and the
// end ellipsis as the system call does.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

class TestSurface : public DrawingSurface {
 public:
  // A surface that records calls when record is true (else only counts them).
  explicit TestSurface(bool record = true) : record_(record) {}

  // Glyph width of a font of size points.
  static int GlyphWidth(int size) { return size <= 0 ? 8 : size; }
  // Glyph (line) height of a font of size points.
  static int GlyphHeight(int size) { return 2 * GlyphWidth(size); }
  // The text shown for text after "&" prefix processing; *prefix receives the
  // index of the underlined character or -1.
  static std::string ProcessPrefixes(std::string_view text, int* prefix);

  // The recorded calls, one line each.
  const std::vector<std::string>& Calls() const { return calls_; }
  // All recorded calls joined with line feeds, each ending in one.
  std::string Log() const;
  // Forgets the recorded calls.
  void ClearCalls() { calls_.clear(); }
  // Number of drawing calls made (recorded or not).
  long CallCount() const { return call_count_; }

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
  // Makes the surface a device of that many dots per inch (96 at first).
  void SetPixelsPerInch(int dpi) { pixels_per_inch_ = dpi; }
  // Gives a file name the system icon index that SystemIconIndex answers
  // (names not given answer -1).
  void SetSystemIcon(std::string name, int index) { system_icons_[std::move(name)] = index; }
  // System colour n is 0x00nnnnnn.
  Color SystemColor(int index) const override;
  void DrawPicture(const SurfacePicture& picture, const Rect& rect) override;
  void TilePicture(const SurfacePicture& picture, const Rect& area) override;
  void DrawListImage(const TImageList& list, int index, const Rect& rect) override;
  int SystemIconIndex(std::string_view name, bool large) override;
  // 16 x 16 small icons, 32 x 32 large ones.
  Size SystemIconSize(bool large) override;
  void DrawSystemIcon(int index, bool large, const Rect& rect) override;

 private:
  void Record(std::string line);
  int Width(std::string_view shown) const;
  std::string FontText() const;
  std::string BrushText() const;

  bool record_;
  std::vector<std::string> calls_;
  long call_count_ = 0;
  Font font_;
  Color brush_color_ = 0xFFFFFF;
  BrushStyle brush_style_ = BrushStyle::kSolid;
  Pen pen_;
  BackgroundMode mode_ = BackgroundMode::kOpaque;
  int pixels_per_inch_ = 96;
  std::map<std::string, int, std::less<>> system_icons_;
};

}  // namespace htmlabel
