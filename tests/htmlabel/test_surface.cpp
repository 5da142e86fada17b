#include "tests/htmlabel/test_surface.h"

#include <cstdio>

namespace htmlabel {
namespace {

std::string Hex(Color color) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08x", static_cast<unsigned>(color));
  return buffer;
}

std::string RectText(const Rect& rect) {
  return "[" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "]";
}

}  // namespace

std::string TestSurface::ProcessPrefixes(std::string_view text, int* prefix) {
  *prefix = -1;
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      shown += text[i];
      continue;
    }
    if (i + 1 == text.size()) break;  // a lone trailing "&" shows nothing
    if (text[i + 1] != '&') *prefix = static_cast<int>(shown.size());
    shown += text[++i];
  }
  return shown;
}

std::string TestSurface::Log() const {
  std::string log;
  for (const std::string& line : calls_)
    log += line + "\n";
  return log;
}

void TestSurface::Record(std::string line) {
  ++call_count_;
  if (record_) calls_.push_back(std::move(line));
}

void TestSurface::SetBrushColor(Color color) {
  brush_color_ = color;
  brush_style_ = BrushStyle::kSolid;
}

int TestSurface::Width(std::string_view shown) const {
  const int glyph = GlyphWidth(font_.size);
  long width = 0;
  for (char c : shown) {
    width = c == '\t' ? (width / (8 * glyph) + 1) * (8 * glyph) : width + glyph;
    if (width > (1 << 30)) return 1 << 30;
  }
  return static_cast<int>(width);
}

std::string TestSurface::FontText() const {
  std::string style;
  if (font_.style & kBold) style += 'B';
  if (font_.style & kItalic) style += 'I';
  if (font_.style & kUnderline) style += 'U';
  if (font_.style & kStrikeOut) style += 'S';
  std::string text = "font=\"" + font_.name + "\"," + std::to_string(font_.size) + "," +
                     Hex(font_.color) + (style.empty() ? "" : "," + style);
  if (font_.escapement != 0 || font_.orientation != 0) {
    text += " esc=" + std::to_string(font_.escapement) + "/" + std::to_string(font_.orientation);
  }
  return text;
}

std::string TestSurface::BrushText() const {
  return brush_style_ == BrushStyle::kClear ? "clear" : Hex(brush_color_);
}

int TestSurface::DrawText(std::string_view text, Rect* rect, unsigned format) {
  int prefix = -1;
  std::string shown =
      (format & text_format::kNoPrefix) ? std::string(text) : ProcessPrefixes(text, &prefix);
  const int glyph = GlyphWidth(font_.size);
  const int height = GlyphHeight(font_.size);
  const int available = rect->right - rect->left;
  if ((format & text_format::kEndEllipsis) && Width(shown) > available) {
    size_t keep = 0;
    long width = 0;
    for (; keep < shown.size(); ++keep) {
      const char c = shown[keep];
      width = c == '\t' ? (width / (8 * glyph) + 1) * (8 * glyph) : width + glyph;
      if (width + 3 * glyph > available) break;
    }
    shown = shown.substr(0, keep) + "...";
    if (prefix >= static_cast<int>(keep)) prefix = -1;
  }
  if (format & text_format::kCalcRect) {
    rect->right = rect->left + Width(shown);
    rect->bottom = rect->top + height;
    return height;
  }
  std::string line = "text " + RectText(*rect) + " \"" + shown + "\"";
  if (prefix >= 0) line += " prefix=" + std::to_string(prefix);
  char flags[16];
  std::snprintf(flags, sizeof flags, "%x", format);
  line += " fmt=" + std::string(flags) + " " + FontText();
  if (mode_ == BackgroundMode::kOpaque) line += " bk=" + BrushText();
  Record(std::move(line));
  return height;
}

Size TestSurface::TextExtent(std::string_view text) {
  return Size{static_cast<int>(text.size()) * GlyphWidth(font_.size), GlyphHeight(font_.size)};
}

void TestSurface::FillRect(const Rect& rect) {
  Record("fill " + RectText(rect) + " brush=" + BrushText());
}

void TestSurface::Rectangle(const Rect& rect) {
  Record("rectangle " + RectText(rect) + " pen=" + Hex(pen_.color) + " brush=" + BrushText());
}

void TestSurface::MoveTo(int x, int y) {
  Record("moveto " + std::to_string(x) + "," + std::to_string(y));
}

void TestSurface::LineTo(int x, int y) {
  Record("lineto " + std::to_string(x) + "," + std::to_string(y) + " pen=" + Hex(pen_.color) + "/" +
         std::to_string(pen_.width));
}

void TestSurface::DrawFocusRect(const Rect& rect) {
  Record("focus " + RectText(rect));
}

void TestSurface::SetClipRect(const Rect* rect) {
  Record(rect == nullptr ? std::string("clip none") : "clip " + RectText(*rect));
}

Color TestSurface::SystemColor(int index) const {
  return static_cast<Color>(index & 0xFF) * 0x010101u;
}

void TestSurface::DrawPicture(const SurfacePicture& picture, const Rect& rect) {
  Record("picture " + std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()) +
         " " + RectText(rect));
}

void TestSurface::TilePicture(const SurfacePicture& picture, const Rect& area) {
  Record("tile " + std::to_string(picture.Width()) + "x" + std::to_string(picture.Height()) + " " +
         RectText(area));
}

void TestSurface::DrawListImage(const TImageList&, int index, const Rect& rect) {
  Record("listimage " + std::to_string(index) + " " + RectText(rect));
}

int TestSurface::SystemIconIndex(std::string_view name, bool) {
  const auto found = system_icons_.find(name);
  return found == system_icons_.end() ? -1 : found->second;
}

Size TestSurface::SystemIconSize(bool large) {
  return large ? Size{32, 32} : Size{16, 16};
}

void TestSurface::DrawSystemIcon(int index, bool large, const Rect& rect) {
  Record(std::string(large ? "largeicon " : "smallicon ") + std::to_string(index) + " " +
         RectText(rect));
}

}  // namespace htmlabel
