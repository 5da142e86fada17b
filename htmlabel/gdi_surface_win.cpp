#include "htmlabel/gdi_surface.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace htmlabel {
namespace {

constexpr std::size_t kMaxFonts = 64;       // fonts kept while no surface lives
constexpr std::size_t kMaxMetrics = 64;     // font metrics a surface keeps answers for
constexpr std::size_t kMaxMeasured = 4096;  // measuring answers kept at once
// Flags with which a measured size depends on the rectangle's size.
constexpr unsigned kSizeDependent =
    DT_WORDBREAK | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS | DT_MODIFYSTRING;

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

// The fonts made so far for the whole process, by description and device
// resolution. They are deleted only while no surface lives, since a surface
// may have any of them selected.
class FontCache {
 public:
  static FontCache& Instance() {
    static FontCache cache;
    return cache;
  }
  void SurfaceCreated() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (live_surfaces_++ == 0 && fonts_.size() > kMaxFonts) fonts_.clear();
  }
  void SurfaceGone() {
    std::lock_guard<std::mutex> lock(mutex_);
    --live_surfaces_;
  }
  HGDIOBJ Get(const Font& font, int pixels_per_inch) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : fonts_) {
      if (entry.pixels_per_inch == pixels_per_inch && entry.font == font) return entry.object.Get();
    }
    fonts_.push_back(Entry{font, pixels_per_inch, CreateFontFor(font, pixels_per_inch)});
    return fonts_.back().object.Get();
  }

 private:
  struct Entry {
    Font font;
    int pixels_per_inch;
    fw::GdiObject object;
  };
  std::mutex mutex_;
  std::vector<Entry> fonts_;
  int live_surfaces_ = 0;
};

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
  FontCache::Instance().SurfaceCreated();
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
  FontCache::Instance().SurfaceGone();
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

int GdiSurface::MetricsIndex() {
  Font metrics = font_;
  metrics.style &= ~static_cast<unsigned>(kUnderline | kStrikeOut);
  metrics.color = 0;
  for (std::size_t i = 0; i < metrics_.size(); ++i) {
    if (metrics_[i] == metrics) return static_cast<int>(i);
  }
  if (metrics_.size() >= kMaxMetrics) {
    metrics_.clear();
    measured_.clear();
    extents_.clear();
  }
  metrics_.push_back(metrics);
  return static_cast<int>(metrics_.size() - 1);
}

void GdiSurface::SelectFont() {
  if (selected_font_ && selected_description_ == font_) return;
  selected_font_ = FontCache::Instance().Get(font_, pixels_per_inch_);
  selected_description_ = font_;
  SelectObject(dc_, selected_font_);
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
  const bool measuring = (format & text_format::kCalcRect) != 0;
  if (measuring) {
    const int metrics = MetricsIndex();
    const bool sized = (format & kSizeDependent) != 0;
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    // An answer that holds for any rectangle, else one for this size.
    const std::string key_text(text);
    for (const MeasureKey& key : {MeasureKey(metrics, key_text, format, true, 0, 0),
                                  MeasureKey(metrics, key_text, format, false, width, height)}) {
      if (sized && std::get<3>(key)) continue;
      const auto known = measured_.find(key);
      if (known == measured_.end()) continue;
      const Measured& m = known->second;
      const int bottom = m.fit == Fit::kBottomAligned ? rect->bottom : rect->top + m.rect.bottom;
      *rect =
          Rect{rect->left + m.rect.left, rect->top + m.rect.top, rect->left + m.rect.right, bottom};
      return m.fit == Fit::kBottomAligned ? height : m.height;
    }
  }
  PrepareText();
  RECT area = ToRect(*rect);
  const int result = ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &area, format);
  ++system_text_calls_;
  if (measuring) {
    const Rect asked = *rect;
    *rect = Rect{area.left, area.top, area.right, area.bottom};
    const Rect relative{area.left - asked.left, area.top - asked.top, area.right - asked.left,
                        area.bottom - asked.top};
    // Which rule turns the asked rectangle into the answer. A bottom-aligned
    // single line keeps the bottom and answers the offset from the top to
    // it; a top-aligned one answers its height. Anything else holds for this
    // size only.
    const bool placed = relative.left == 0 && relative.top == 0;
    const bool single = (format & DT_SINGLELINE) && !(format & kSizeDependent);
    Fit fit = Fit::kSameSizeOnly;
    if (single && placed && (format & DT_BOTTOM) && area.bottom == asked.bottom &&
        result == asked.bottom - asked.top) {
      fit = Fit::kBottomAligned;
    } else if (single && placed && !(format & (DT_BOTTOM | DT_VCENTER)) &&
               relative.bottom == result) {
      fit = Fit::kTopPlusHeight;
    }
    if (measured_.size() >= kMaxMeasured) measured_.clear();
    const bool any_size = fit != Fit::kSameSizeOnly;
    measured_.insert_or_assign(MeasureKey(MetricsIndex(), std::string(text), format, any_size,
                                          any_size ? 0 : asked.right - asked.left,
                                          any_size ? 0 : asked.bottom - asked.top),
                               Measured{fit, relative, result});
  }
  return result;
}

Size GdiSurface::TextExtent(std::string_view text) {
  std::pair<int, std::string> key(MetricsIndex(), std::string(text));
  const auto known = extents_.find(key);
  if (known != extents_.end()) return known->second;
  SelectFont();
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  ++system_text_calls_;
  if (extents_.size() >= kMaxMeasured) extents_.clear();
  extents_.emplace(std::move(key), Size{size.cx, size.cy});
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
