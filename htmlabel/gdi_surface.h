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
//
// Most text the renderer draws is one plain line (a word, a blank, a bullet)
// in a font whose advance widths simply add up. For such text the surface
// does what DrawTextA would do itself, but without its per-call work: widths
// come from a table of the font's 224 printable characters read with one
// GetTextExtentExPointW call and checked against a kerning probe, the
// vertical placement is learnt from one real DrawTextA per font and flag
// set, and drawing is one ExtTextOutW. Any text, flag or device context that
// falls outside that goes to DrawTextA as before.
//
// Plain lines are drawn with the advance widths that measured them, so that
// glyphs land exactly where the layout put them. (Wine's ExtTextOut without
// widths spaces glyphs a little wider than its own extents report, so runs
// drawn one by one there crowd the next run; on Windows both agree and the
// pixels are DrawTextA's.) Where a pixel check shows that a font's own
// advances are the table's, the widths are left out of the call. A plain line that continues the
// previous one (on the same line, where the previous one ended, in the same font, colours and
// flags) is held back and drawn with it in one ExtTextOutW: a line of runs
// costs one call and one underline. Fills work alike on true-colour displays:
// solid fills side by side in one band (a gradient's 64 steps) are held and
// drawn as one picture of the band, with the pixels the fills would give.
// Held-back text or fills are drawn before anything else is drawn, before
// the clipping or the selected font changes, and when the surface goes away,
// so the order of drawing stays. Lines drawn one after another from where the
// last ended in one thin solid pen (the error mark's zig-zag) are held the
// same way and drawn as one polyline.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
  // How many text calls reached the system (DrawTextA, ExtTextOutW and the
  // extent calls).
  long SystemTextCalls() const { return system_text_calls_; }
  // How many DrawText calls were answered without DrawTextA.
  long PlainLineCalls() const { return plain_line_calls_; }
  // Draws held-back text, fills and lines now, for callers that draw on the
  // device context themselves while the surface lives; the font selected is
  // then that of the last text (the surface sets its text colours again
  // before its next text).
  void Flush();

  Font GetFont() const override { return font_; }
  void SetFont(const Font& font) override {
    if (font == font_) return;
    font_ = font;
    metrics_index_ = -1;
  }
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
  // Pictures decoded by the system's picture loader render themselves.
  void DrawPicture(const SurfacePicture& picture, const Rect& rect) override;
  // Only tiles that reach into the clip box are drawn. An opaque bitmap at
  // its own size is copied from a block of whole tiles the picture keeps;
  // few tiles of other pictures are rendered one by one, many small ones
  // once into a block of whole tiles that is then copied.
  void TilePicture(const SurfacePicture& picture, const Rect& area) override;
  // Images of a TCommonImageList.
  void DrawListImage(const TImageList& list, int index, const Rect& rect) override;
  int SystemIconIndex(std::string_view name, bool large) override;
  Size SystemIconSize(bool large) override;
  void DrawSystemIcon(int index, bool large, const Rect& rect) override;

 private:
  // Selects the font (without its underline when the surface draws that).
  void SelectFont(bool without_underline = false);
  // Selects the font unless one of the same metrics is selected: enough for measuring.
  void SelectMetrics();
  // Draws held text, fills or lines (only one kind is held at a time).
  void FlushHeld();
  void FlushText();
  void FlushFills();
  void FlushLines();
  void SelectPen(const Pen& pen);
  void SelectBrush();
  // Selects the font and gives the device context the text colours, those
  // that differ from what it has.
  void PrepareText(bool without_underline = false);
  // After drawing by others: the device context's text colours are unknown.
  void ForgetTextSettings();

  // How a measured rectangle follows from the one asked about.
  enum class Fit {
    kBottomAligned,  // bottom-aligned single line: left and top stay, right is left +
                     // width, bottom and result are the rectangle's bottom and height
                     // plus the same amount (the font's external leading, with
                     // DT_EXTERNALLEADING)
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
    Rect rect;   // the measured rectangle moved to the asked one's origin; for
                 // kBottomAligned, bottom is what is added to bottom and height
    int height;  // DrawText's result
  };
  // An underline the surface draws itself: a band of the text colour under
  // the whole run, top pixels below the text's top, height high (0: the
  // system draws it).
  struct Underline {
    int top = 0;
    int height = 0;
  };
  // What the system was seen to do with plain lines in one set of font
  // metrics: advance widths, and the vertical part of DrawTextA's answers by
  // flags (without the measuring flag). On display devices these are shared
  // by every surface of the process (see LineFactsStore); the store's lock
  // guards them.
  struct LineFacts {
    bool additive = false;             // widths add up: the table answers extents
    int height = 0;                    // the height of every extent
    int advance[256] = {};             // advance width per character byte (printable ones)
    bool natural = false;              // ExtTextOutW without widths draws at these advances
    bool blank_draws_nothing = false;  // a blank leaves every pixel as it was (checked
                                       // where widths are given)
    std::map<unsigned, Measured> vertical;
    bool underline_checked = false;
    Underline underline;  // how the surface draws the underline; none: the system does
  };
  class LineFactsStore;
  int MetricsIndex();
  int FindMetrics();
  LineFacts& FactsFor(int metrics);
  void ReadWidths(LineFacts* facts);
  // Whether the selected font's glyphs, drawn without widths, advance by the
  // table's widths on this device context.
  bool DrawsAtTableAdvances(const LineFacts& facts, const wchar_t* wide);
  // The underline for the current font's metrics, checked once: the band
  // that gives the system's own pixels, or none.
  Underline OwnUnderline(LineFacts& facts);
  Underline CheckedUnderline(const LineFacts& facts);
  // Whether the selected font's blank, drawn, changes no pixel.
  bool BlankDrawsNothing();
  // The width of text from the table, or -1 when the table cannot answer it.
  static int TableWidth(const LineFacts& facts, std::string_view text);
  // DrawText for one plain line without DrawTextA, when what DrawTextA would
  // do is known; false when it is not.
  bool DrawPlainLine(std::string_view text, Rect* rect, unsigned format, int* result);
  // Measures a plain line whose placement in its font and flags is not yet
  // known, so that it can be drawn without DrawTextA; true when it now is.
  bool LearnsPlacement(std::string_view text, const Rect& rect, unsigned format);

  HDC dc_;
  int pixels_per_inch_;
  Font font_;
  Color brush_color_;
  BrushStyle brush_style_ = BrushStyle::kSolid;
  Pen pen_;
  BackgroundMode mode_ = BackgroundMode::kTransparent;

  HGDIOBJ selected_font_ = nullptr;  // the font of ours selected, or null
  Font selected_description_;        // its description (the colour aside)
  bool underline_dropped_ = false;   // it is the underlined font_ without its underline
  // Font descriptions without underline and strikeout, one per set of metrics.
  std::vector<Font> metrics_;
  int metrics_index_ = -1;  // the index of font_'s metrics, -1 until looked up
  std::map<MeasureKey, Measured> measured_;
  std::map<std::pair<int, std::string>, Size> extents_;
  std::vector<std::shared_ptr<LineFacts>> facts_;  // by metrics index, found when first needed
  // Plain lines drawn but held back: one ExtTextOutW at x, y clipped to clip,
  // each glyph advancing by the width that measured it.
  struct HeldText {
    std::wstring text;
    std::vector<INT> advances;
    RECT clip{};
    int x = 0;
    int y = 0;
    int end_x = 0;         // where a continuing line starts
    UINT options = 0;      // ExtTextOutW's options
    Font font;             // the font, selected while text is held
    bool natural = false;  // drawn without widths: the font's own advances are the table's
    bool blank_draws_nothing = false;  // blanks after the first character may be left out
    bool opaque = false;
    COLORREF back = 0;         // background colour when opaque
    COLORREF color = 0;        // text colour
    int underline_top = 0;     // the surface's underline below y, when
    int underline_height = 0;  // drawn by it (the font then selected without)
  };
  HeldText held_;
  std::wstring blankless_text_;  // the held text drawn without its inner blanks, reused
  std::vector<INT> blankless_advances_;
  bool holding_ = false;
  // Fills held back: steps of one band (a gradient's columns, each starting
  // within the band so far, later ones covering earlier ones), drawn as one
  // picture of the band.
  struct HeldFill {
    RECT area;
    COLORREF color;
  };
  void FillOne(const HeldFill& fill);
  std::vector<HeldFill> fills_;
  RECT band_{};                             // the band the held fills cover
  std::vector<std::uint32_t> band_pixels_;  // its picture, reused
  // Lines held back: the start and the ends of LineTo calls joined end to
  // start in one solid one-pixel pen, drawn as one polyline.
  std::vector<POINT> path_;
  Pen path_pen_;
  bool path_lines_ = false;        // the device context draws lines by copying the pen
  bool band_fills_ = false;        // a true-colour display in device units: bands are pictures
  std::vector<INT> run_advances_;  // the advances of the run being drawn
  bool plain_lines_ = false;       // the device context and code page allow the table
  bool display_ = false;           // a display: facts shared by the process, fonts held
  long system_text_calls_ = 0;
  long plain_line_calls_ = 0;
  fw::GdiObject pen_object_;
  Pen selected_pen_;
  bool pen_selected_ = false;
  fw::GdiObject fill_brush_;       // the brush of the last fill, never selected
  fw::GdiObject underline_brush_;  // the brush of the last underline, never selected
  COLORREF underline_color_ = 0;
  Color fill_brush_color_ = clNone;
  fw::GdiObject brush_object_;
  Color selected_brush_ = clNone;
  bool brush_selected_ = false;

  // The text colour, background mode and background colour the device
  // context has (read at the start, then set by the surface); empty after
  // drawing that may have changed them.
  std::optional<COLORREF> dc_text_color_;
  std::optional<int> dc_mode_;
  std::optional<COLORREF> dc_back_color_;

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
