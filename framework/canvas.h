// A drawing surface over a GDI device context, with move-only owners for the
// GDI objects it creates and scope objects for device contexts and selections.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "framework/color.h"
#include "framework/font.h"
#include "framework/picture.h"

namespace fw {

// The RGB value GDI draws for a colour (system colours resolved).
COLORREF ColorToRGB(TColor color);

// Owns one GDI object (font, brush, pen, bitmap) and deletes it.
class GdiObject {
 public:
  GdiObject() = default;
  // Takes ownership of handle (may be null).
  explicit GdiObject(HGDIOBJ handle) : handle_(handle) {}
  ~GdiObject() { Reset(); }
  GdiObject(GdiObject&& other) noexcept : handle_(other.Release()) {}
  GdiObject& operator=(GdiObject&& other) noexcept;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  // The handle, or null.
  HGDIOBJ Get() const { return handle_; }
  // Gives up ownership and returns the handle.
  HGDIOBJ Release();
  // Deletes the held object and takes handle instead.
  void Reset(HGDIOBJ handle = nullptr);

 private:
  HGDIOBJ handle_ = nullptr;
};

// Selects an object into a device context and selects the previous one back.
class SelectScope {
 public:
  // Selects object into dc.
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectScope() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// BeginPaint / EndPaint for a window's WM_PAINT.
class PaintScope {
 public:
  // Begins painting the window.
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  // The device context to paint on.
  HDC Dc() const { return dc_; }
  // The rectangle that needs painting.
  const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// GetDC / ReleaseDC; a null window gives the screen's device context.
class WindowDcScope {
 public:
  // Gets the window's device context.
  explicit WindowDcScope(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDcScope() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDcScope(const WindowDcScope&) = delete;
  WindowDcScope& operator=(const WindowDcScope&) = delete;

  // The device context (null when GetDC failed).
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// SaveDC / RestoreDC around a change of clipping or origin.
class SavedDcScope {
 public:
  // Saves the state of dc.
  explicit SavedDcScope(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~SavedDcScope() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  SavedDcScope(const SavedDcScope&) = delete;
  SavedDcScope& operator=(const SavedDcScope&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// Creates the GDI font for a font description.
GdiObject CreateGdiFont(const TFont& font);

// Draws on a device context it does not own: a font, a brush colour and a pen
// colour, each realised as a GDI object when first used and selected until
// the canvas goes away.
class TCanvas {
 public:
  // A canvas on dc.
  explicit TCanvas(HDC dc) : dc_(dc) {}
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The device context.
  HDC Handle() const { return dc_; }
  // The font for text; changes apply to the next text call.
  TFont& Font() { return font_; }
  // Sets the brush colour (clNone: hollow).
  void SetBrushColor(TColor color);
  // Sets the pen colour (clNone: no outline).
  void SetPenColor(TColor color);
  // Fills a rectangle with the brush colour.
  void FillRect(const RECT& rect);
  // Draws a rectangle outlined with the pen and filled with the brush.
  void Rectangle(const RECT& rect);
  // Draws a line from one point to another with the pen.
  void Line(int x1, int y1, int x2, int y2);
  // Draws text at a point, transparently, in the font's colour.
  void TextOut(int x, int y, std::string_view text);
  // The size of a single line of text in the font.
  SIZE TextExtent(std::string_view text);
  // DrawTextA in the font: draws text in rect with the DT_ flags (with
  // DT_CALCRECT only measures and updates rect); returns the text height.
  int DrawText(std::string_view text, RECT* rect, UINT flags);
  // Draws a picture at its natural size with its top-left corner at (x, y).
  void Draw(int x, int y, const TGraphic& graphic);

 private:
  void RealizeFont();
  void RealizeBrush();
  void RealizePen();

  HDC dc_;
  TFont font_;
  TFont realized_font_;
  GdiObject font_object_;
  TColor brush_color_ = clWhite;
  GdiObject brush_object_;
  bool brush_dirty_ = false;
  TColor pen_color_ = clBlack;
  GdiObject pen_object_;
  bool pen_dirty_ = false;
  HGDIOBJ original_font_ = nullptr;
  HGDIOBJ original_brush_ = nullptr;
  HGDIOBJ original_pen_ = nullptr;
};

}  // namespace fw
