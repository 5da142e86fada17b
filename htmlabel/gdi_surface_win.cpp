#include "htmlabel/gdi_surface.h"

#include <algorithm>
#include <cstring>

namespace htmlabel {
namespace {

constexpr std::size_t kMaxFonts = 16;  // fonts kept at once; older ones are deleted

fw::GdiObject CreateFontFor(const Font& font, int pixels_per_inch) {
  LOGFONTA log{};
  log.lfHeight = -MulDiv(font.size, pixels_per_inch, 72);
  log.lfEscapement = font.escapement;
  log.lfOrientation = font.orientation;
  log.lfWeight = (font.style & kBold) ? FW_BOLD : FW_NORMAL;
  log.lfItalic = (font.style & kItalic) ? 1 : 0;
  log.lfUnderline = (font.style & kUnderline) ? 1 : 0;
  log.lfStrikeOut = (font.style & kStrikeOut) ? 1 : 0;
  log.lfCharSet = static_cast<BYTE>(font.charset);
  log.lfOutPrecision = OUT_DEFAULT_PRECIS;
  log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  log.lfQuality = DEFAULT_QUALITY;
  log.lfPitchAndFamily = DEFAULT_PITCH;
  std::memcpy(log.lfFaceName, font.name.data(),
              std::min(font.name.size(), sizeof log.lfFaceName - 1));
  return fw::GdiObject(CreateFontIndirectA(&log));
}

RECT ToRect(const Rect& rect) {
  return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

GdiSurface::GdiSurface(HDC dc, const Font& font, Color brush_color)
    : dc_(dc),
      pixels_per_inch_(GetDeviceCaps(dc, LOGPIXELSY)),
      font_(font),
      brush_color_(brush_color),
      original_font_(GetCurrentObject(dc, OBJ_FONT)),
      original_pen_(GetCurrentObject(dc, OBJ_PEN)),
      original_brush_(GetCurrentObject(dc, OBJ_BRUSH)),
      original_mode_(GetBkMode(dc)),
      original_text_color_(GetTextColor(dc)),
      original_back_color_(GetBkColor(dc)) {
  if (pixels_per_inch_ <= 0) pixels_per_inch_ = 96;
}

GdiSurface::~GdiSurface() {
  SelectObject(dc_, original_font_);
  SelectObject(dc_, original_pen_);
  SelectObject(dc_, original_brush_);
  SetBkMode(dc_, original_mode_);
  SetTextColor(dc_, original_text_color_);
  SetBkColor(dc_, original_back_color_);
  if (clip_saved_) {
    SelectClipRgn(dc_, original_clip_);
    if (original_clip_) DeleteObject(original_clip_);
  }
}

COLORREF GdiSurface::ToRgb(Color color) {
  if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFF;
}

Color GdiSurface::SystemColor(int index) const {
  return GetSysColor(index);
}

void GdiSurface::SetBrushColor(Color color) {
  brush_color_ = color;
  brush_style_ = BrushStyle::kSolid;
}

void GdiSurface::SelectFont() {
  if (selected_font_ >= 0 && fonts_[selected_font_].first == font_) return;
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    if (fonts_[i].first == font_) {
      selected_font_ = static_cast<int>(i);
      SelectObject(dc_, fonts_[i].second.Get());
      return;
    }
  }
  if (fonts_.size() >= kMaxFonts) {
    // None of the kept fonts may stay selected while they are deleted.
    SelectObject(dc_, original_font_);
    fonts_.clear();
  }
  fonts_.emplace_back(font_, CreateFontFor(font_, pixels_per_inch_));
  selected_font_ = static_cast<int>(fonts_.size() - 1);
  SelectObject(dc_, fonts_.back().second.Get());
}

void GdiSurface::SelectPen() {
  if (pen_selected_ && selected_pen_ == pen_) return;
  HGDIOBJ pen;
  fw::GdiObject created;
  if (pen_.style == PenStyle::kNull || pen_.color == clNone) {
    pen = GetStockObject(NULL_PEN);
  } else {
    const int style = pen_.style == PenStyle::kDash  ? PS_DASH
                      : pen_.style == PenStyle::kDot ? PS_DOT
                                                     : PS_SOLID;
    created.Reset(CreatePen(style, std::max(pen_.width, 0), ToRgb(pen_.color)));
    pen = created.Get();
  }
  SelectObject(dc_, pen);
  // The previous pen is no longer selected, so it may be deleted now.
  pen_object_ = std::move(created);
  selected_pen_ = pen_;
  pen_selected_ = true;
}

void GdiSurface::SelectBrush() {
  const Color wanted = brush_style_ == BrushStyle::kClear ? clNone : brush_color_;
  if (brush_selected_ && selected_brush_ == wanted) return;
  HGDIOBJ brush;
  fw::GdiObject created;
  if (wanted == clNone) {
    brush = GetStockObject(NULL_BRUSH);
  } else {
    created.Reset(CreateSolidBrush(ToRgb(wanted)));
    brush = created.Get();
  }
  SelectObject(dc_, brush);
  brush_object_ = std::move(created);
  selected_brush_ = wanted;
  brush_selected_ = true;
}

void GdiSurface::PrepareText() {
  SelectFont();
  SetTextColor(dc_, ToRgb(font_.color));
  const bool opaque = mode_ == BackgroundMode::kOpaque && brush_style_ == BrushStyle::kSolid &&
                      brush_color_ != clNone;
  SetBkMode(dc_, opaque ? OPAQUE : TRANSPARENT);
  if (opaque) SetBkColor(dc_, ToRgb(brush_color_));
}

int GdiSurface::DrawText(std::string_view text, Rect* rect, unsigned format) {
  PrepareText();
  RECT area = ToRect(*rect);
  const int height = ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &area, format);
  if (format & text_format::kCalcRect) *rect = Rect{area.left, area.top, area.right, area.bottom};
  return height;
}

Size GdiSurface::TextExtent(std::string_view text) {
  SelectFont();
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  return Size{size.cx, size.cy};
}

void GdiSurface::FillRect(const Rect& rect) {
  if (brush_style_ == BrushStyle::kClear || brush_color_ == clNone) return;
  fw::GdiObject brush(CreateSolidBrush(ToRgb(brush_color_)));
  const RECT area = ToRect(rect);
  ::FillRect(dc_, &area, static_cast<HBRUSH>(brush.Get()));
}

void GdiSurface::Rectangle(const Rect& rect) {
  SelectPen();
  SelectBrush();
  ::Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void GdiSurface::MoveTo(int x, int y) {
  MoveToEx(dc_, x, y, nullptr);
}

void GdiSurface::LineTo(int x, int y) {
  SelectPen();
  ::LineTo(dc_, x, y);
}

void GdiSurface::DrawFocusRect(const Rect& rect) {
  // The dotted pattern is drawn by inverting, in the text colours.
  SetTextColor(dc_, RGB(0, 0, 0));
  SetBkColor(dc_, RGB(255, 255, 255));
  const RECT area = ToRect(rect);
  ::DrawFocusRect(dc_, &area);
}

void GdiSurface::SetClipRect(const Rect* rect) {
  if (!clip_saved_) {
    original_clip_ = CreateRectRgn(0, 0, 0, 0);
    if (GetClipRgn(dc_, original_clip_) != 1) {
      DeleteObject(original_clip_);
      original_clip_ = nullptr;
    }
    clip_saved_ = true;
  }
  SelectClipRgn(dc_, original_clip_);
  if (rect) IntersectClipRect(dc_, rect->left, rect->top, rect->right, rect->bottom);
}

void GdiSurface::DrawPicture(const SurfacePicture&, const Rect&) {}

}  // namespace htmlabel
