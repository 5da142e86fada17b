#include <cstring>

#include "framework/canvas.h"

namespace fw {

COLORREF ColorToRGB(TColor color) {
  if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFF;
}

GdiObject& GdiObject::operator=(GdiObject&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

HGDIOBJ GdiObject::Release() {
  HGDIOBJ handle = handle_;
  handle_ = nullptr;
  return handle;
}

void GdiObject::Reset(HGDIOBJ handle) {
  if (handle_) DeleteObject(handle_);
  handle_ = handle;
}

GdiObject CreateGdiFont(const TFont& font) {
  LOGFONTA log{};
  log.lfHeight = font.Height();
  log.lfWeight = (font.Style() & fsBold) ? FW_BOLD : FW_NORMAL;
  log.lfItalic = (font.Style() & fsItalic) ? 1 : 0;
  log.lfUnderline = (font.Style() & fsUnderline) ? 1 : 0;
  log.lfStrikeOut = (font.Style() & fsStrikeOut) ? 1 : 0;
  log.lfCharSet = static_cast<BYTE>(font.Charset());
  log.lfOutPrecision = OUT_DEFAULT_PRECIS;
  log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  log.lfQuality = DEFAULT_QUALITY;
  log.lfPitchAndFamily = DEFAULT_PITCH;
  const std::string& name = font.Name();
  std::memcpy(log.lfFaceName, name.data(), std::min(name.size(), sizeof log.lfFaceName - 1));
  return GdiObject(CreateFontIndirectA(&log));
}

TCanvas::~TCanvas() {
  if (original_font_) SelectObject(dc_, original_font_);
  if (original_brush_) SelectObject(dc_, original_brush_);
  if (original_pen_) SelectObject(dc_, original_pen_);
}

void TCanvas::RealizeFont() {
  if (font_object_.Get() && realized_font_.SameAs(font_)) return;
  GdiObject created = CreateGdiFont(font_);
  HGDIOBJ previous = SelectObject(dc_, created.Get());
  if (!original_font_) original_font_ = previous;
  font_object_ = std::move(created);
  realized_font_.Assign(font_);
}

void TCanvas::SetBrushColor(TColor color) {
  if (color == brush_color_) return;
  brush_color_ = color;
  brush_dirty_ = true;
}

void TCanvas::SetPenColor(TColor color) {
  if (color == pen_color_) return;
  pen_color_ = color;
  pen_dirty_ = true;
}

void TCanvas::RealizeBrush() {
  if (brush_object_.Get() && !brush_dirty_) return;
  brush_dirty_ = false;
  GdiObject created(brush_color_ == clNone ? GetStockObject(NULL_BRUSH)
                                           : CreateSolidBrush(ColorToRGB(brush_color_)));
  HGDIOBJ previous = SelectObject(dc_, created.Get());
  if (!original_brush_) original_brush_ = previous;
  // The old brush is no longer selected, so the assignment may delete it.
  brush_object_ = std::move(created);
}

void TCanvas::RealizePen() {
  if (pen_object_.Get() && !pen_dirty_) return;
  pen_dirty_ = false;
  GdiObject created(pen_color_ == clNone ? GetStockObject(NULL_PEN)
                                         : CreatePen(PS_SOLID, 1, ColorToRGB(pen_color_)));
  HGDIOBJ previous = SelectObject(dc_, created.Get());
  if (!original_pen_) original_pen_ = previous;
  pen_object_ = std::move(created);
}

void TCanvas::FillRect(const RECT& rect) {
  if (brush_color_ == clNone) return;
  GdiObject brush(CreateSolidBrush(ColorToRGB(brush_color_)));
  ::FillRect(dc_, &rect, static_cast<HBRUSH>(brush.Get()));
}

void TCanvas::Rectangle(const RECT& rect) {
  RealizeBrush();
  RealizePen();
  ::Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void TCanvas::Line(int x1, int y1, int x2, int y2) {
  RealizePen();
  MoveToEx(dc_, x1, y1, nullptr);
  LineTo(dc_, x2, y2);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  RealizeFont();
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, ColorToRGB(font_.Color()));
  ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

SIZE TCanvas::TextExtent(std::string_view text) {
  RealizeFont();
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

int TCanvas::DrawText(std::string_view text, RECT* rect, UINT flags) {
  RealizeFont();
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, ColorToRGB(font_.Color()));
  return ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), rect, flags);
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
  if (graphic.Empty()) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = graphic.Width();
  info.bmiHeader.biHeight = -graphic.Height();  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc_, x, y, graphic.Width(), graphic.Height(), 0, 0, 0, graphic.Height(),
                    graphic.Pixels().data(), &info, DIB_RGB_COLORS);
}

}  // namespace fw
