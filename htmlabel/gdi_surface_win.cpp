#include "htmlabel/gdi_surface.h"

#include "htmlabel/common_image_list_win.h"
#include "htmlabel/html_picture.h"
#include "htmlabel/ole_picture_decoder_win.h"
#include "htmlabel/picture_geometry.h"
#include "htmlabel/system_icons_win.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>

namespace htmlabel {
namespace {

constexpr std::size_t kMaxFonts = 64;         // fonts kept while no surface lives
constexpr std::size_t kMaxMetrics = 64;       // font metrics a surface keeps answers for
constexpr std::size_t kMaxMeasured = 4096;    // measuring answers kept at once
constexpr int kMaxBandWidth = 4096;           // fills held as one band: at most this wide
constexpr int kMaxBandHeight = 256;           // and this high
constexpr std::size_t kMaxPathPoints = 4096;  // points of lines held as one polyline
// Flags with which a measured size depends on the rectangle's size.
constexpr unsigned kSizeDependent =
    DT_WORDBREAK | DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS | DT_MODIFYSTRING;
// Flags with which DrawTextA draws one line at the rectangle's left edge, on
// its top or bottom, in the single-line text's own width.
constexpr unsigned kPlainLineFlags = DT_SINGLELINE | DT_BOTTOM | DT_EXPANDTABS |
                                     DT_EXTERNALLEADING | DT_CALCRECT | DT_NOPREFIX |
                                     DT_END_ELLIPSIS | DT_NOCLIP;
constexpr int kFirstPrintable = 0x20;  // the width table covers bytes from here
constexpr int kPrintable = 256 - kFirstPrintable;
// Pairs that kerning or shaping would draw closer or wider than their widths.
constexpr wchar_t kKerningProbe[] = L"AVAWAYTaToTyVaWaYoLTLYP.F,fiflffr.y,\"\"''";

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

// Whether two descriptions make the same font object: the colour is the
// device context's text colour, not part of the font.
bool SameFont(const Font& a, const Font& b) {
  return a.size == b.size && a.style == b.style && a.escapement == b.escapement &&
         a.orientation == b.orientation && a.charset == b.charset && a.name == b.name;
}

// A font kept selected in a memory device context of its own. The system
// keeps the glyphs it renders for a font only while some device context has
// it selected, and of the rest only those of the last few fonts (Wine keeps
// five); a label cycles through up to a dozen fonts in one paint, and every
// switch back to a dropped font would render its glyphs again (about ten
// times the cost of drawing a word). The bitmap is compatible with the device
// context drawn on, so that the font is rendered the same way in both.
class FontHolder {
 public:
  FontHolder(HDC like, HGDIOBJ font)
      : dc_(CreateCompatibleDC(like)), bitmap_(CreateCompatibleBitmap(like, 1, 1)) {
    if (!dc_) return;
    original_bitmap_ = bitmap_.Get() ? SelectObject(dc_, bitmap_.Get()) : nullptr;
    original_font_ = SelectObject(dc_, font);
  }
  ~FontHolder() {
    if (!dc_) return;
    if (original_font_) SelectObject(dc_, original_font_);
    if (original_bitmap_) SelectObject(dc_, original_bitmap_);
    DeleteDC(dc_);
  }
  FontHolder(const FontHolder&) = delete;
  FontHolder& operator=(const FontHolder&) = delete;

 private:
  HDC dc_;
  fw::GdiObject bitmap_;  // deleted after the device context
  HGDIOBJ original_bitmap_ = nullptr;
  HGDIOBJ original_font_ = nullptr;
};

// The fonts made so far for the whole process, by description and device
// resolution. They are deleted only while no surface lives, since a surface
// may have any of them selected. Fonts made for a display are held selected
// (see FontHolder).
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
  // The font for a description; dc is the device context it is made for,
  // display tells whether it is a display's.
  HGDIOBJ Get(const Font& font, int pixels_per_inch, HDC dc, bool display) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : fonts_) {
      if (entry.pixels_per_inch == pixels_per_inch && SameFont(entry.font, font))
        return entry.object.Get();
    }
    Entry entry{font, pixels_per_inch, CreateFontFor(font, pixels_per_inch), nullptr};
    if (display && entry.object.Get())
      entry.holder = std::make_unique<FontHolder>(dc, entry.object.Get());
    fonts_.push_back(std::move(entry));
    return fonts_.back().object.Get();
  }

 private:
  struct Entry {
    Font font;
    int pixels_per_inch;
    fw::GdiObject object;
    std::unique_ptr<FontHolder> holder;  // let go of the font before it is deleted
  };
  std::mutex mutex_;
  std::vector<Entry> fonts_;
  int live_surfaces_ = 0;
};

RECT ToRect(const Rect& rect) {
  return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// Whether DrawTextA takes text with format as one plain line: a single line,
// only flags whose effect is known, no character it treats specially (control
// characters, tabs, and a lone "&" where prefixes are processed: "&&" stands
// for one "&").
bool IsPlainLine(std::string_view text, unsigned format) {
  if (text.empty() || !(format & DT_SINGLELINE) || (format & ~kPlainLineFlags)) return false;
  const bool prefixes = !(format & DT_NOPREFIX);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < kFirstPrintable || byte == 0x7F) return false;
    if (byte == '&' && prefixes && (++i == text.size() || text[i] != '&')) return false;
  }
  return true;
}

// The text a plain line shows: with prefixes processed, each "&&" as "&".
std::string_view ShownText(std::string_view text, unsigned format, std::string* storage) {
  if ((format & DT_NOPREFIX) || text.find('&') == std::string_view::npos) return text;
  storage->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    storage->push_back(text[i]);
    if (text[i] == '&') ++i;
  }
  return *storage;
}

// Whether text has only characters that are laid left to right one by one,
// whatever stands between them: no right-to-left or shaped scripts.
bool LeftToRightOnly(const std::wstring& text) {
  return std::all_of(text.begin(), text.end(),
                     [](wchar_t c) { return c < 0x0590 || (c >= 0x2000 && c < 0x2200); });
}

// Whether every byte of the system's ANSI code page is one character, as the
// width table by byte needs.
bool SingleByteCodePage() {
  CPINFO info{};
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

// The header of a top-down 32-bit picture (pixels 0x00RRGGBB, rows from the top).
BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Whether every colour is drawn as it is: at least 24 bits per pixel, those
// of the bitmap selected in a memory device context.
bool TrueColor(HDC dc) {
  if (GetObjectType(dc) == OBJ_MEMDC) {
    BITMAP bitmap{};
    HGDIOBJ selected = GetCurrentObject(dc, OBJ_BITMAP);
    return selected && GetObject(selected, sizeof bitmap, &bitmap) == sizeof bitmap &&
           bitmap.bmBitsPixel * bitmap.bmPlanes >= 24;
  }
  return GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) >= 24;
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
  // Text drawn at its top-left point in device units, one byte per character.
  display_ = GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY;
  plain_lines_ = GetMapMode(dc) == MM_TEXT &&
                 GetTextAlign(dc) == (TA_LEFT | TA_TOP | TA_NOUPDATECP) && SingleByteCodePage();
  band_fills_ = display_ && GetMapMode(dc) == MM_TEXT && GetGraphicsMode(dc) == GM_COMPATIBLE &&
                GetLayout(dc) == 0 && TrueColor(dc);
  path_lines_ = GetROP2(dc) == R2_COPYPEN;
  dc_text_color_ = original_text_color_;
  dc_mode_ = original_mode_;
  dc_back_color_ = original_back_color_;
  FontCache::Instance().SurfaceCreated();
}

GdiSurface::~GdiSurface() {
  FlushHeld();
  // Only what was changed is put back: selecting costs more than asking.
  if (selected_font_) SelectObject(dc_, original_font_);
  if (pen_selected_) SelectObject(dc_, original_pen_);
  if (brush_selected_) SelectObject(dc_, original_brush_);
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
  if (metrics_index_ >= 0) return metrics_index_;
  metrics_index_ = FindMetrics();
  return metrics_index_;
}

int GdiSurface::FindMetrics() {
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
    facts_.clear();
  }
  metrics_.push_back(metrics);
  return static_cast<int>(metrics_.size() - 1);
}

void GdiSurface::SelectFont(bool without_underline) {
  Font wanted = font_;
  if (without_underline) wanted.style &= ~static_cast<unsigned>(kUnderline);
  underline_dropped_ = without_underline && (font_.style & kUnderline);
  if (selected_font_ && SameFont(selected_description_, wanted)) return;
  FlushText();
  selected_font_ = FontCache::Instance().Get(wanted, pixels_per_inch_, dc_, display_);
  selected_description_ = wanted;
  SelectObject(dc_, selected_font_);
}

void GdiSurface::Flush() {
  FlushHeld();
  ForgetTextSettings();
  // Callers see the font of the text drawn, underline and all.
  if (underline_dropped_) {
    Font underlined = selected_description_;
    underlined.style |= kUnderline;
    selected_font_ = FontCache::Instance().Get(underlined, pixels_per_inch_, dc_, display_);
    selected_description_ = underlined;
    SelectObject(dc_, selected_font_);
    underline_dropped_ = false;
  }
}

void GdiSurface::SelectMetrics() {
  // Underline and strikeout change no metrics.
  constexpr unsigned kLines = kUnderline | kStrikeOut;
  if (selected_font_ && (selected_description_.style & ~kLines) == (font_.style & ~kLines)) {
    Font same = font_;
    same.style = selected_description_.style;
    if (SameFont(selected_description_, same)) return;
  }
  SelectFont();
}

void GdiSurface::FlushHeld() {
  FlushText();
  FlushFills();
  FlushLines();
}

void GdiSurface::FlushText() {
  if (!holding_) return;
  holding_ = false;
  // Clipped to nothing (a run past the right edge), it draws nothing.
  const RECT& clip = held_.clip;
  if ((held_.options & ETO_CLIPPED) && (clip.right <= clip.left || clip.bottom <= clip.top)) return;
  ++system_text_calls_;
  const wchar_t* text = held_.text.data();
  std::size_t count = held_.text.size();
  const INT* advances = held_.natural ? nullptr : held_.advances.data();
  // Lines the system draws under or through the text are left as they were.
  const bool system_lines = (held_.font.style & kStrikeOut) ||
                            ((held_.font.style & kUnderline) && held_.underline_height == 0);
  if (advances && held_.blank_draws_nothing && !system_lines && LeftToRightOnly(held_.text)) {
    // A blank after the first character draws nothing: its advance goes to
    // the glyph before it, and the system has fewer glyphs to place (each
    // given width costs it more than drawing a glyph). The text's box (its
    // background) keeps its width; the surface's underline spans the held ends.
    blankless_text_.clear();
    blankless_advances_.clear();
    for (std::size_t i = 0; i < count; ++i) {
      if (i > 0 && text[i] == L' ') {
        blankless_advances_.back() += advances[i];
        continue;
      }
      blankless_text_.push_back(text[i]);
      blankless_advances_.push_back(advances[i]);
    }
    text = blankless_text_.data();
    count = blankless_text_.size();
    advances = blankless_advances_.data();
  }
  ExtTextOutW(dc_, held_.x, held_.y, held_.options, &held_.clip, text, static_cast<UINT>(count),
              advances);
  if (held_.underline_height > 0) {
    // The underline the system would have drawn after the glyphs, as it
    // draws it: under the whole run, whatever the clipping rectangle.
    if (!underline_brush_.Get() || underline_color_ != held_.color) {
      underline_brush_.Reset(CreateSolidBrush(held_.color));
      underline_color_ = held_.color;
    }
    const RECT band{held_.x, held_.y + held_.underline_top, held_.end_x,
                    held_.y + held_.underline_top + held_.underline_height};
    ::FillRect(dc_, &band, static_cast<HBRUSH>(underline_brush_.Get()));
  }
}

void GdiSurface::SelectPen(const Pen& wanted) {
  if (pen_selected_ && selected_pen_ == wanted) return;
  HGDIOBJ pen;
  fw::GdiObject created;
  if (wanted.style == PenStyle::kNull || wanted.color == clNone) {
    pen = GetStockObject(NULL_PEN);
  } else {
    const int style = wanted.style == PenStyle::kDash  ? PS_DASH
                      : wanted.style == PenStyle::kDot ? PS_DOT
                                                       : PS_SOLID;
    created.Reset(CreatePen(style, std::max(wanted.width, 0), ToRgb(wanted.color)));
    pen = created.Get();
  }
  SelectObject(dc_, pen);
  // The previous pen is no longer selected, so it may be deleted now.
  pen_object_ = std::move(created);
  selected_pen_ = wanted;
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

void GdiSurface::PrepareText(bool without_underline) {
  SelectFont(without_underline);
  // Runs in a row mostly share their colours: only changes are passed on.
  const COLORREF color = ToRgb(font_.color);
  if (dc_text_color_ != color) {
    SetTextColor(dc_, color);
    dc_text_color_ = color;
  }
  const bool opaque = mode_ == BackgroundMode::kOpaque && brush_style_ == BrushStyle::kSolid &&
                      brush_color_ != clNone;
  const int mode = opaque ? OPAQUE : TRANSPARENT;
  if (dc_mode_ != mode) {
    SetBkMode(dc_, mode);
    dc_mode_ = mode;
  }
  if (opaque && dc_back_color_ != ToRgb(brush_color_)) {
    SetBkColor(dc_, ToRgb(brush_color_));
    dc_back_color_ = ToRgb(brush_color_);
  }
}

void GdiSurface::ForgetTextSettings() {
  dc_text_color_.reset();
  dc_mode_.reset();
  dc_back_color_.reset();
}

// The line facts of every font used on a display, for the whole process.
class GdiSurface::LineFactsStore {
 public:
  static LineFactsStore& Instance() {
    static LineFactsStore store;
    return store;
  }
  std::mutex& Mutex() { return mutex_; }
  // The facts for a font at a resolution, made empty when new (second: new).
  std::pair<std::shared_ptr<LineFacts>, bool> Get(const Font& metrics, int pixels_per_inch) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Entry& entry : entries_) {
      if (entry.pixels_per_inch == pixels_per_inch && entry.metrics == metrics)
        return {entry.facts, false};
    }
    // Surfaces keep the facts they use alive on their own.
    if (entries_.size() >= kMaxFonts) entries_.clear();
    entries_.push_back(Entry{metrics, pixels_per_inch, std::make_shared<LineFacts>()});
    return {entries_.back().facts, true};
  }

 private:
  struct Entry {
    Font metrics;
    int pixels_per_inch;
    std::shared_ptr<LineFacts> facts;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

GdiSurface::LineFacts& GdiSurface::FactsFor(int metrics) {
  if (facts_.size() <= static_cast<std::size_t>(metrics)) facts_.resize(metrics + 1);
  std::shared_ptr<LineFacts>& slot = facts_[metrics];
  if (slot) return *slot;
  if (display_) {
    auto [facts, made] = LineFactsStore::Instance().Get(metrics_[metrics], pixels_per_inch_);
    slot = std::move(facts);
    if (!made) return *slot;
    // Read outside the lock; another surface reading the same font at the
    // same time writes the same values.
    LineFacts read;
    ReadWidths(&read);
    std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
    read.vertical = std::move(slot->vertical);
    *slot = std::move(read);
    return *slot;
  }
  slot = std::make_shared<LineFacts>();
  ReadWidths(slot.get());
  return *slot;
}

bool GdiSurface::LearnsPlacement(std::string_view text, const Rect& rect, unsigned format) {
  // A plain line drawn in a font and flags never measured (a list bullet):
  // measuring it once teaches where such lines go, for every later one.
  if (!plain_lines_ || !IsPlainLine(text, format)) return false;
  LineFacts& facts = FactsFor(MetricsIndex());
  {
    std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
    if (!facts.additive || facts.vertical.count(format)) return false;
  }
  Rect measured = rect;
  DrawText(text, &measured, format | DT_CALCRECT);
  std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
  return facts.vertical.count(format) != 0;
}

void GdiSurface::ReadWidths(LineFacts* facts) {
  if (!plain_lines_) return;
  char bytes[kPrintable];
  for (int i = 0; i < kPrintable; ++i)
    bytes[i] = static_cast<char>(kFirstPrintable + i);
  wchar_t wide[kPrintable];
  if (MultiByteToWideChar(CP_ACP, 0, bytes, kPrintable, wide, kPrintable) != kPrintable) return;
  SelectMetrics();
  INT ends[kPrintable];
  SIZE whole{};
  ++system_text_calls_;
  if (!GetTextExtentExPointW(dc_, wide, kPrintable, 0, nullptr, ends, &whole)) return;
  for (int i = 0; i < kPrintable; ++i) {
    facts->advance[kFirstPrintable + i] = ends[i] - (i > 0 ? ends[i - 1] : 0);
    if (facts->advance[kFirstPrintable + i] < 0) return;
  }
  // The widths add up when the whole line measures their sum and pairs that
  // kerning would move measure their sum too.
  SIZE probe{};
  const int probe_length = static_cast<int>(std::size(kKerningProbe) - 1);
  ++system_text_calls_;
  if (!GetTextExtentPoint32W(dc_, kKerningProbe, probe_length, &probe)) return;
  int probe_sum = 0;
  for (int i = 0; i < probe_length; ++i) {
    const wchar_t* found = std::find(wide, wide + kPrintable, kKerningProbe[i]);
    if (found == wide + kPrintable) return;
    probe_sum += facts->advance[kFirstPrintable + (found - wide)];
  }
  facts->height = whole.cy;
  facts->additive = whole.cx == ends[kPrintable - 1] && probe.cx == probe_sum && whole.cy > 0;
  facts->natural = display_ && facts->additive && DrawsAtTableAdvances(*facts, wide);
  facts->blank_draws_nothing =
      display_ && facts->additive && !facts->natural && BlankDrawsNothing();
}

bool GdiSurface::DrawsAtTableAdvances(const LineFacts& facts, const wchar_t* wide) {
  // Every character between two "H"s, drawn once with the table's advances
  // and once with the font's own, on a bitmap like the device context's. A
  // character whose own advance differed would move the "H" after it, and a
  // different "H" would move every character after the first inked one; so
  // equal pixels mean equal advances.
  std::wstring text;
  std::vector<INT> advances;
  for (int i = 0; i <= kPrintable; ++i) {
    text.push_back(L'H');
    advances.push_back(facts.advance['H']);
    if (i == kPrintable) break;
    text.push_back(wide[i]);
    advances.push_back(facts.advance[kFirstPrintable + i]);
  }
  const int margin = facts.height;  // room for overhangs on both sides
  long width = 2L * margin;
  for (const INT advance : advances)
    width += advance;
  const int height = facts.height;
  if (width > 32767 || height <= 0 || height > 1024) return false;
  HDC scratch = CreateCompatibleDC(dc_);
  if (!scratch) return false;
  fw::GdiObject bitmap(CreateCompatibleBitmap(dc_, width, 2 * height));
  bool same = false;
  if (bitmap.Get()) {
    HGDIOBJ old_bitmap = SelectObject(scratch, bitmap.Get());
    HGDIOBJ old_font = SelectObject(scratch, GetCurrentObject(dc_, OBJ_FONT));
    PatBlt(scratch, 0, 0, width, 2 * height, WHITENESS);
    SetBkMode(scratch, TRANSPARENT);
    SetTextColor(scratch, RGB(0, 0, 0));
    const UINT count = static_cast<UINT>(text.size());
    system_text_calls_ += 2;
    ExtTextOutW(scratch, margin, 0, 0, nullptr, text.data(), count, nullptr);
    ExtTextOutW(scratch, margin, height, 0, nullptr, text.data(), count, advances.data());
    SelectObject(scratch, old_font);
    SelectObject(scratch, old_bitmap);
    BITMAPINFO info = TopDown32(width, 2 * height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * 2 * height);
    if (GetDIBits(scratch, static_cast<HBITMAP>(bitmap.Get()), 0, 2 * height, pixels.data(), &info,
                  DIB_RGB_COLORS) == 2 * height) {
      const auto half = pixels.begin() + static_cast<std::ptrdiff_t>(pixels.size() / 2);
      same = std::equal(pixels.begin(), half, half);
    }
  }
  DeleteDC(scratch);
  return same;
}

GdiSurface::Underline GdiSurface::OwnUnderline(LineFacts& facts) {
  // Only where colours are drawn as they are, so that the text's colour and
  // the band's brush agree (the answer is shared with other such surfaces).
  if (!band_fills_) return {};
  {
    std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
    if (facts.underline_checked) return facts.underline;
  }
  const Underline underline = CheckedUnderline(facts);
  std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
  facts.underline = underline;
  facts.underline_checked = true;
  return underline;
}

GdiSurface::Underline GdiSurface::CheckedUnderline(const LineFacts& facts) {
  // Where the system puts the underline (below the baseline by the font's
  // underscore position, as thick as its underscore, half of that above):
  // from the plain font's metrics, then drawn beside the system's own on a
  // bitmap like the device context's, a run clipped short of its end among
  // them. Equal pixels, or the system draws its own.
  Font plain = font_;
  plain.style &= ~static_cast<unsigned>(kUnderline);
  HGDIOBJ plain_font = FontCache::Instance().Get(plain, pixels_per_inch_, dc_, display_);
  HGDIOBJ underlined_font = FontCache::Instance().Get(font_, pixels_per_inch_, dc_, display_);
  if (!plain_font || !underlined_font || facts.height <= 0 || facts.height > 1024) return {};
  HDC scratch = CreateCompatibleDC(dc_);
  if (!scratch) return {};
  Underline found;
  static constexpr wchar_t kText[] = L"Hg_jAVWy";
  const int count = static_cast<int>(std::size(kText) - 1);
  INT advances[std::size(kText) - 1];
  int width = 0;
  for (int i = 0; i < count; ++i) {
    advances[i] = facts.advance[static_cast<unsigned char>(kText[i])];
    width += advances[i];
  }
  const int margin = facts.height;
  const int line = 2 * facts.height;  // room below for a low underline
  const int bitmap_width = width + 2 * margin;
  fw::GdiObject bitmap(CreateCompatibleBitmap(dc_, bitmap_width, 4 * line));
  if (bitmap.Get() && width > 0) {
    HGDIOBJ old_bitmap = SelectObject(scratch, bitmap.Get());
    HGDIOBJ old_font = SelectObject(scratch, plain_font);
    TEXTMETRICW metrics{};
    OUTLINETEXTMETRICW outline{};
    outline.otmSize = sizeof outline;
    GetTextMetricsW(scratch, &metrics);
    int position = 0;
    int thickness = metrics.tmAscent / 20 + 1;
    if (GetOutlineTextMetricsW(scratch, sizeof outline, &outline)) {
      position = outline.otmsUnderscorePosition;
      thickness = std::max<int>(1, outline.otmsUnderscoreSize);
    }
    found.top = metrics.tmAscent - (position + thickness / 2);
    found.height = thickness;
    PatBlt(scratch, 0, 0, bitmap_width, 4 * line, WHITENESS);
    SetBkMode(scratch, TRANSPARENT);
    SetTextColor(scratch, RGB(0, 0, 0));
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const INT* dx = facts.natural ? nullptr : advances;
    // Whole and clipped short, by the system, then by the surface.
    for (int i = 0; i < 2; ++i) {
      const int y = i * line;
      const RECT clip{margin, y, margin + (i == 0 ? width : width / 2), y + line};
      SelectObject(scratch, underlined_font);
      ExtTextOutW(scratch, margin, y, ETO_CLIPPED, &clip, kText, count, dx);
      SelectObject(scratch, plain_font);
      const int our_y = y + 2 * line;
      const RECT our_clip{clip.left, our_y, clip.right, our_y + line};
      ExtTextOutW(scratch, margin, our_y, ETO_CLIPPED, &our_clip, kText, count, dx);
      const RECT band{margin, our_y + found.top, margin + width, our_y + found.top + found.height};
      ::FillRect(scratch, &band, black);
    }
    system_text_calls_ += 4;
    SelectObject(scratch, old_font);
    SelectObject(scratch, old_bitmap);
    BITMAPINFO info = TopDown32(bitmap_width, 4 * line);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bitmap_width) * 4 * line);
    bool same = false;
    if (GetDIBits(scratch, static_cast<HBITMAP>(bitmap.Get()), 0, 4 * line, pixels.data(), &info,
                  DIB_RGB_COLORS) == 4 * line) {
      const auto half = pixels.begin() + static_cast<std::ptrdiff_t>(pixels.size() / 2);
      same = std::equal(pixels.begin(), half, half);
    }
    // The band must lie on the line, or the check saw nothing of it.
    if (!same || found.top < 0 || found.top + found.height > line) found = Underline{};
  }
  DeleteDC(scratch);
  return found;
}

bool GdiSurface::BlankDrawsNothing() {
  // A blank in black on white, on a bitmap like the device context's, in
  // the font without underline and strikeout (those ink under blanks too,
  // and the surface leaves no blank out of such text).
  Font plain = font_;
  plain.style &= ~static_cast<unsigned>(kUnderline | kStrikeOut);
  HGDIOBJ plain_font = FontCache::Instance().Get(plain, pixels_per_inch_, dc_, display_);
  HDC scratch = plain_font ? CreateCompatibleDC(dc_) : nullptr;
  if (!scratch) return false;
  constexpr int kSide = 64;
  fw::GdiObject bitmap(CreateCompatibleBitmap(dc_, kSide, kSide));
  bool nothing = false;
  if (bitmap.Get()) {
    HGDIOBJ old_bitmap = SelectObject(scratch, bitmap.Get());
    HGDIOBJ old_font = SelectObject(scratch, plain_font);
    PatBlt(scratch, 0, 0, kSide, kSide, WHITENESS);
    SetBkMode(scratch, TRANSPARENT);
    SetTextColor(scratch, RGB(0, 0, 0));
    ++system_text_calls_;
    ExtTextOutW(scratch, kSide / 4, kSide / 4, 0, nullptr, L" ", 1, nullptr);
    SelectObject(scratch, old_font);
    SelectObject(scratch, old_bitmap);
    BITMAPINFO info = TopDown32(kSide, kSide);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kSide) * kSide);
    if (GetDIBits(scratch, static_cast<HBITMAP>(bitmap.Get()), 0, kSide, pixels.data(), &info,
                  DIB_RGB_COLORS) == kSide) {
      nothing = std::all_of(pixels.begin(), pixels.end(),
                            [](std::uint32_t pixel) { return (pixel & 0xFFFFFF) == 0xFFFFFF; });
    }
  }
  DeleteDC(scratch);
  return nothing;
}

int GdiSurface::TableWidth(const LineFacts& facts, std::string_view text) {
  if (!facts.additive) return -1;
  std::int64_t sum = 0;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < kFirstPrintable) return -1;
    sum += facts.advance[byte];
  }
  return sum > INT_MAX / 2 ? -1 : static_cast<int>(sum);
}

bool GdiSurface::DrawPlainLine(std::string_view text, Rect* rect, unsigned format, int* result) {
  if (!plain_lines_ || !IsPlainLine(text, format)) return false;
  std::string shown;
  text = ShownText(text, format, &shown);
  LineFacts& facts = FactsFor(MetricsIndex());
  Measured m;
  int width;
  int line_height;
  bool natural;
  bool blanks;
  {
    std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
    const auto rule = facts.vertical.find(format & ~DT_CALCRECT);
    if (rule == facts.vertical.end()) return false;
    m = rule->second;
    width = TableWidth(facts, text);
    line_height = facts.height;
    natural = facts.natural;
    blanks = facts.blank_draws_nothing;
    if (width >= 0 && !(format & DT_CALCRECT)) {
      run_advances_.resize(text.size());
      for (std::size_t i = 0; i < text.size(); ++i)
        run_advances_[i] = facts.advance[static_cast<unsigned char>(text[i])];
    }
  }
  if (width < 0) return false;
  const int height = rect->bottom - rect->top;
  // An ellipsis changes only text that does not fit.
  if ((format & DT_END_ELLIPSIS) && width > rect->right - rect->left) return false;
  *result = m.fit == Fit::kBottomAligned ? height + m.rect.bottom : m.height;
  if (format & DT_CALCRECT) {
    ++plain_line_calls_;
    const int bottom =
        m.fit == Fit::kBottomAligned ? rect->bottom + m.rect.bottom : rect->top + m.rect.bottom;
    *rect = Rect{rect->left, rect->top, rect->left + width, bottom};
    return true;
  }
  const bool opaque = mode_ == BackgroundMode::kOpaque && brush_style_ == BrushStyle::kSolid &&
                      brush_color_ != clNone;
  const COLORREF back = opaque ? ToRgb(brush_color_) : 0;
  const UINT options = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
  const int y = (format & DT_BOTTOM) ? rect->bottom - line_height : rect->top;
  const std::size_t start = holding_ ? held_.text.size() : 0;
  const bool continues = holding_ && rect->left == held_.end_x && y == held_.y &&
                         rect->top == held_.clip.top && rect->bottom == held_.clip.bottom &&
                         rect->right == held_.clip.right && options == held_.options &&
                         opaque == held_.opaque && back == held_.back && font_ == held_.font;
  if (!continues) {
    FlushHeld();
    // An underline the surface draws itself costs a fill instead of the
    // system's outline metrics, brush and polygon at every call.
    Underline underline;
    // Only level text: a rotated run's underline is rotated with it.
    if ((font_.style & kUnderline) && !(font_.style & kStrikeOut) && font_.escapement == 0 &&
        font_.orientation == 0) {
      underline = OwnUnderline(facts);
    }
    PrepareText(/*without_underline=*/underline.height > 0);
    held_.underline_top = underline.top;
    held_.underline_height = underline.height;
    held_.color = ToRgb(font_.color);
    held_.text.clear();
    held_.advances.clear();
    held_.clip = ToRect(*rect);
    held_.x = rect->left;
    held_.y = y;
    held_.options = options;
    held_.font = font_;
    held_.natural = natural;
    held_.blank_draws_nothing = blanks;
    held_.opaque = opaque;
    held_.back = back;
  }
  const int length = static_cast<int>(text.size());
  held_.text.resize((continues ? start : 0) + text.size());
  wchar_t* wide = held_.text.data() + (continues ? start : 0);
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide, length) != length) {
    held_.text.resize(continues ? start : 0);
    held_.advances.resize(held_.text.size());
    holding_ = !held_.text.empty();
    return false;
  }
  held_.advances.insert(held_.advances.end(), run_advances_.begin(), run_advances_.end());
  held_.end_x = rect->left + width;
  holding_ = true;
  ++plain_line_calls_;
  return true;
}

int GdiSurface::DrawText(std::string_view text, Rect* rect, unsigned format) {
  int plain_result = 0;
  if (DrawPlainLine(text, rect, format, &plain_result)) return plain_result;
  const bool measuring = (format & text_format::kCalcRect) != 0;
  if (!measuring && LearnsPlacement(text, *rect, format) &&
      DrawPlainLine(text, rect, format, &plain_result)) {
    return plain_result;
  }

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
      const int bottom =
          m.fit == Fit::kBottomAligned ? rect->bottom + m.rect.bottom : rect->top + m.rect.bottom;
      *rect =
          Rect{rect->left + m.rect.left, rect->top + m.rect.top, rect->left + m.rect.right, bottom};
      return m.fit == Fit::kBottomAligned ? height + m.rect.bottom : m.height;
    }
  }
  if (measuring) {
    // Measuring needs only the font's metrics; text colours may still belong to held text.
    SelectMetrics();
  } else {
    FlushHeld();
    PrepareText();
  }
  RECT area = ToRect(*rect);
  const int result = ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &area, format);
  ++system_text_calls_;
  if (measuring) {
    const Rect asked = *rect;
    *rect = Rect{area.left, area.top, area.right, area.bottom};
    const Rect relative{area.left - asked.left, area.top - asked.top, area.right - asked.left,
                        area.bottom - asked.top};
    // Which rule turns the asked rectangle into the answer. A bottom-aligned
    // single line moves the bottom and the answered height by the same
    // amount (the external leading, or nothing); a top-aligned one answers
    // its height. Anything else holds for this size only.
    const bool placed = relative.left == 0 && relative.top == 0;
    // The table's width of a plain line, read once: an end ellipsis that did
    // not cut the text changed nothing about where such a line goes, and the
    // table is checked against the answer below.
    LineFacts* facts =
        plain_lines_ && IsPlainLine(text, format) ? &FactsFor(MetricsIndex()) : nullptr;
    int table_width = -1;
    if (facts) {
      std::string shown;
      std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
      table_width = TableWidth(*facts, ShownText(text, format, &shown));
    }
    const bool uncut =
        (format & DT_END_ELLIPSIS) && table_width >= 0 && table_width <= asked.right - asked.left;
    const bool single =
        (format & DT_SINGLELINE) && !(format & kSizeDependent & ~(uncut ? DT_END_ELLIPSIS : 0u));
    Fit fit = Fit::kSameSizeOnly;
    Rect relative_or_below = relative;
    if (single && placed && (format & DT_BOTTOM) &&
        result - (asked.bottom - asked.top) == area.bottom - asked.bottom) {
      fit = Fit::kBottomAligned;
      relative_or_below.bottom = area.bottom - asked.bottom;
    } else if (single && placed && !(format & (DT_BOTTOM | DT_VCENTER)) &&
               relative.bottom == result) {
      fit = Fit::kTopPlusHeight;
    }
    if (measured_.size() >= kMaxMeasured) measured_.clear();
    const bool any_size = fit != Fit::kSameSizeOnly;
    // A plain line's answer teaches where such lines go in this font; the
    // table is trusted only while it gives DrawTextA's own width.
    if (any_size && facts) {
      std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
      if (table_width == relative.right) {
        facts->vertical.insert_or_assign(format & ~DT_CALCRECT,
                                         Measured{fit, relative_or_below, result});
      } else {
        facts->additive = false;
      }
    }
    measured_.insert_or_assign(MeasureKey(MetricsIndex(), std::string(text), format, any_size,
                                          any_size ? 0 : asked.right - asked.left,
                                          any_size ? 0 : asked.bottom - asked.top),
                               Measured{fit, relative_or_below, result});
  }
  return result;
}

Size GdiSurface::TextExtent(std::string_view text) {
  // GetTextExtentPoint32A reads the bytes in the font's own code page; only
  // ASCII is the same character in every one of them.
  const bool ascii = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x7F;
  });
  if (plain_lines_ && ascii) {
    LineFacts& facts = FactsFor(MetricsIndex());
    std::lock_guard<std::mutex> lock(LineFactsStore::Instance().Mutex());
    const int width = TableWidth(facts, text);
    if (width >= 0) return Size{width, facts.height};
  }
  std::pair<int, std::string> key(MetricsIndex(), std::string(text));
  const auto known = extents_.find(key);
  if (known != extents_.end()) return known->second;
  SelectMetrics();
  SIZE size{};
  GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
  ++system_text_calls_;
  if (extents_.size() >= kMaxMeasured) extents_.clear();
  extents_.emplace(std::move(key), Size{size.cx, size.cy});
  return Size{size.cx, size.cy};
}

void GdiSurface::FillRect(const Rect& rect) {
  if (brush_style_ == BrushStyle::kClear || brush_color_ == clNone) return;
  FlushText();
  FlushLines();
  const HeldFill fill{ToRect(rect), ToRgb(brush_color_)};
  if (!fills_.empty()) {
    // A step of a band starts within the band's columns so far and covers
    // them from there: the band stays one rectangle without gaps.
    const bool joins = fill.area.top == band_.top && fill.area.bottom == band_.bottom &&
                       fill.area.left >= band_.left && fill.area.left <= band_.right &&
                       fill.area.right > fill.area.left &&
                       fill.area.right - band_.left <= kMaxBandWidth;
    if (joins) {
      fills_.push_back(fill);
      band_.right = std::max(band_.right, fill.area.right);
      return;
    }
    FlushFills();
  }
  const bool band_start = band_fills_ && fill.area.right > fill.area.left &&
                          fill.area.bottom > fill.area.top &&
                          fill.area.right - fill.area.left <= kMaxBandWidth &&
                          fill.area.bottom - fill.area.top <= kMaxBandHeight;
  if (!band_start) {
    FillOne(fill);
    return;
  }
  fills_.push_back(fill);
  band_ = fill.area;
}

void GdiSurface::FillOne(const HeldFill& fill) {
  // Backgrounds fill line after line in one colour: the brush is kept for the next fill.
  if (!fill_brush_.Get() || fill_brush_color_ != fill.color) {
    fill_brush_.Reset(CreateSolidBrush(fill.color));
    fill_brush_color_ = fill.color;
  }
  ::FillRect(dc_, &fill.area, static_cast<HBRUSH>(fill_brush_.Get()));
}

void GdiSurface::FlushFills() {
  if (fills_.size() == 1) FillOne(fills_.front());
  if (fills_.size() <= 1) {
    fills_.clear();
    return;
  }
  // The band's pixels as one top-down 32-bit picture: its first row painted
  // step after step, the other rows copied from it.
  const int width = band_.right - band_.left;
  const int height = band_.bottom - band_.top;
  band_pixels_.resize(static_cast<std::size_t>(width) * height);
  std::uint32_t* row = band_pixels_.data();
  for (const HeldFill& fill : fills_) {
    const std::uint32_t pixel = static_cast<std::uint32_t>(GetRValue(fill.color)) << 16 |
                                static_cast<std::uint32_t>(GetGValue(fill.color)) << 8 |
                                GetBValue(fill.color);
    std::fill(row + (fill.area.left - band_.left), row + (fill.area.right - band_.left), pixel);
  }
  for (int y = 1; y < height; ++y)
    std::copy(row, row + width, row + static_cast<std::size_t>(y) * width);
  const BITMAPINFO info = TopDown32(width, height);
  StretchDIBits(dc_, band_.left, band_.top, width, height, 0, 0, width, height, band_pixels_.data(),
                &info, DIB_RGB_COLORS, SRCCOPY);
  fills_.clear();
}

void GdiSurface::Rectangle(const Rect& rect) {
  // A one-pixel outline in the fill's own colour covers exactly the pixels
  // the fill does: one fill without selecting a pen and a brush.
  const bool solid_fill = brush_style_ == BrushStyle::kSolid && brush_color_ != clNone;
  if (solid_fill && pen_.style == PenStyle::kSolid && pen_.width <= 1 &&
      pen_.color == brush_color_ && rect.right > rect.left && rect.bottom > rect.top) {
    FillRect(rect);
    return;
  }
  FlushHeld();
  SelectPen(pen_);
  SelectBrush();
  ::Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void GdiSurface::MoveTo(int x, int y) {
  FlushLines();
  MoveToEx(dc_, x, y, nullptr);
}

void GdiSurface::LineTo(int x, int y) {
  FlushText();
  FlushFills();
  // Lines of a solid one-pixel pen joined end to start are held and drawn
  // as one polyline: the same pixels, one call.
  const bool joinable =
      path_lines_ && pen_.style == PenStyle::kSolid && pen_.width <= 1 && pen_.color != clNone;
  if (!joinable) {
    FlushLines();
    SelectPen(pen_);
    ::LineTo(dc_, x, y);
    return;
  }
  if (!path_.empty() && !(pen_ == path_pen_)) FlushLines();
  if (path_.empty()) {
    POINT start{};
    GetCurrentPositionEx(dc_, &start);
    path_.push_back(start);
    path_pen_ = pen_;
  }
  path_.push_back(POINT{x, y});
  if (path_.size() >= kMaxPathPoints) FlushLines();
}

void GdiSurface::FlushLines() {
  if (path_.size() >= 2) {
    SelectPen(path_pen_);
    Polyline(dc_, path_.data(), static_cast<int>(path_.size()));
    // Where the last line ended, as LineTo leaves it.
    MoveToEx(dc_, path_.back().x, path_.back().y, nullptr);
  }
  path_.clear();
}

void GdiSurface::DrawFocusRect(const Rect& rect) {
  FlushHeld();
  // The dotted pattern is drawn by inverting, in the text colours.
  SetTextColor(dc_, RGB(0, 0, 0));
  SetBkColor(dc_, RGB(255, 255, 255));
  dc_text_color_ = RGB(0, 0, 0);
  dc_back_color_ = RGB(255, 255, 255);
  const RECT area = ToRect(rect);
  ::DrawFocusRect(dc_, &area);
}

void GdiSurface::SetClipRect(const Rect* rect) {
  FlushHeld();
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

namespace {

// The system's rendering of a picture of ours, or null for any other picture.
const OleDecodedPicture* Renderable(const SurfacePicture& picture) {
  const auto* html = dynamic_cast<const THTMLPicture*>(&picture);
  return html ? dynamic_cast<const OleDecodedPicture*>(html->Decoded()) : nullptr;
}

constexpr int kDirectTiles = 64;     // tilings of up to this many tiles render each one
constexpr int kTileBlockSide = 256;  // else blocks of whole tiles at least this large

// A top-down 32-bit picture selected into a memory device context of its own.
class Pixels32 {
 public:
  Pixels32(HDC like, int width, int height) : dc_(CreateCompatibleDC(like)), width_(width) {
    const BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    if (dc_) bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap_ && bits) {
      old_ = SelectObject(dc_, bitmap_);
      pixels_ = static_cast<std::uint32_t*>(bits);
    }
  }
  ~Pixels32() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  Pixels32(const Pixels32&) = delete;
  Pixels32& operator=(const Pixels32&) = delete;

  bool Made() const { return pixels_ != nullptr; }
  HDC Dc() const { return dc_; }
  std::uint32_t* Row(int y) { return pixels_ + static_cast<std::size_t>(y) * width_; }
  // Fills the picture with copies of its top-left tile: the tile's rows
  // across, then each row from the one a tile height above it.
  void RepeatTile(Size tile, Size size) {
    for (int y = 0; y < std::min(tile.cy, size.cy); ++y) {
      std::uint32_t* row = Row(y);
      for (int x = tile.cx; x < size.cx; x += tile.cx)
        std::memcpy(row + x, row, sizeof *row * std::min(tile.cx, size.cx - x));
    }
    for (int y = tile.cy; y < size.cy; ++y)
      std::memcpy(Row(y), Row(y - tile.cy), sizeof(std::uint32_t) * size.cx);
  }

 private:
  HDC dc_;
  int width_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
};

// Many tiles of a picture with clear parts, on a true-colour device context,
// exactly as rendering each one would draw them whatever the area showed:
// the tile rendered over black and over white gives its pixels and where it
// is clear; blocks of whole tiles of both are laid over the area (AND with
// the clear parts, then OR with the pixels). False, drawing nothing, when
// the picture has partly clear pixels or the blocks cannot be made.
bool TileThroughMask(HDC dc, const OleDecodedPicture& ole, const Rect& area, Size tile,
                     const Rect& visible) {
  const Size block = TileBlock(tile, area, kTileBlockSide);
  Pixels32 drawn(dc, block.cx, block.cy);
  Pixels32 clear(dc, block.cx, block.cy);
  Pixels32 over_white(dc, tile.cx, tile.cy);
  if (!drawn.Made() || !clear.Made() || !over_white.Made()) return false;
  PatBlt(drawn.Dc(), 0, 0, tile.cx, tile.cy, BLACKNESS);
  PatBlt(over_white.Dc(), 0, 0, tile.cx, tile.cy, WHITENESS);
  ole.Render(drawn.Dc(), RECT{0, 0, tile.cx, tile.cy});
  ole.Render(over_white.Dc(), RECT{0, 0, tile.cx, tile.cy});
  GdiFlush();
  for (int y = 0; y < tile.cy; ++y) {
    for (int x = 0; x < tile.cx; ++x) {
      const std::uint32_t black = drawn.Row(y)[x] & 0xFFFFFF;
      const std::uint32_t white = over_white.Row(y)[x] & 0xFFFFFF;
      if (black == white) {
        clear.Row(y)[x] = 0;  // the picture's own pixel
      } else if (black == 0 && white == 0xFFFFFF) {
        clear.Row(y)[x] = 0xFFFFFFFF;  // what the area shows stays
      } else {
        return false;  // blended with what is under it
      }
    }
  }
  drawn.RepeatTile(tile, block);
  clear.RepeatTile(tile, block);
  const BlockRange blocks = VisibleBlocks(area, block, visible);
  for (int row = 0; row < blocks.rows; ++row) {
    for (int column = 0; column < blocks.columns; ++column) {
      const Rect r = blocks.At(column, row);
      BitBlt(dc, r.left, r.top, block.cx, block.cy, clear.Dc(), 0, 0, SRCAND);
      BitBlt(dc, r.left, r.top, block.cx, block.cy, drawn.Dc(), 0, 0, SRCPAINT);
    }
  }
  return true;
}

}  // namespace

void GdiSurface::DrawPicture(const SurfacePicture& picture, const Rect& rect) {
  FlushHeld();
  ForgetTextSettings();
  if (const OleDecodedPicture* ole = Renderable(picture))
    ole->Render(dc_, RECT{rect.left, rect.top, rect.right, rect.bottom});
}

void GdiSurface::TilePicture(const SurfacePicture& picture, const Rect& area) {
  FlushHeld();
  ForgetTextSettings();
  const OleDecodedPicture* ole = Renderable(picture);
  if (ole == nullptr) return;
  const Size tile{ScaleForDevice(picture.Width(), pixels_per_inch_),
                  ScaleForDevice(picture.Height(), pixels_per_inch_)};
  fw::SavedDcScope saved(dc_);
  // Only tiles that reach into the clip box can show.
  RECT box{};
  const int clip = IntersectClipRect(dc_, area.left, area.top, area.right, area.bottom);
  if (clip == NULLREGION) return;
  const Rect visible = clip != ERROR && GetClipBox(dc_, &box) > NULLREGION
                           ? Rect{box.left, box.top, box.right, box.bottom}
                           : area;
  // An opaque bitmap copies blocks of whole tiles it keeps.
  if (ole->TileOpaque(dc_, area, tile, visible)) return;
  const TileGrid grid = PlanTiles(area, tile);
  if (static_cast<std::int64_t>(grid.columns) * grid.rows <= kDirectTiles) {
    const BlockRange tiles = VisibleBlocks(area, tile, visible);
    for (int row = 0; row < tiles.rows; ++row) {
      for (int column = 0; column < tiles.columns; ++column) {
        const Rect r = tiles.At(column, row);
        ole->Render(dc_, RECT{r.left, r.top, r.right, r.bottom});
      }
    }
    return;
  }
  if (band_fills_ && TileThroughMask(dc_, *ole, area, tile, visible)) return;
  // Elsewhere a block of whole tiles, over what the area's first block
  // showed (the body colour, for a background, where that block is visible).
  const Size block = TileBlock(tile, area, kTileBlockSide);
  HDC memory = CreateCompatibleDC(dc_);
  fw::GdiObject bitmap(CreateCompatibleBitmap(dc_, block.cx, block.cy));
  if (memory == nullptr || bitmap.Get() == nullptr) {
    if (memory) DeleteDC(memory);
    return;
  }
  {
    fw::SelectScope select(memory, bitmap.Get());
    BitBlt(memory, 0, 0, block.cx, block.cy, dc_, area.left, area.top, SRCCOPY);
    ole->Render(memory, RECT{0, 0, tile.cx, tile.cy});
    // Doubling copies: the first row, then the rows.
    for (int filled = tile.cx; filled < block.cx; filled *= 2)
      BitBlt(memory, filled, 0, std::min(filled, block.cx - filled), tile.cy, memory, 0, 0,
             SRCCOPY);
    for (int filled = tile.cy; filled < block.cy; filled *= 2)
      BitBlt(memory, 0, filled, block.cx, std::min(filled, block.cy - filled), memory, 0, 0,
             SRCCOPY);
    const BlockRange blocks = VisibleBlocks(area, block, visible);
    for (int row = 0; row < blocks.rows; ++row) {
      for (int column = 0; column < blocks.columns; ++column) {
        const Rect r = blocks.At(column, row);
        BitBlt(dc_, r.left, r.top, block.cx, block.cy, memory, 0, 0, SRCCOPY);
      }
    }
  }
  DeleteDC(memory);
}

void GdiSurface::DrawListImage(const TImageList& list, int index, const Rect& rect) {
  FlushHeld();
  ForgetTextSettings();
  if (const auto* common = dynamic_cast<const TCommonImageList*>(&list))
    common->Draw(dc_, index, RECT{rect.left, rect.top, rect.right, rect.bottom});
}

int GdiSurface::SystemIconIndex(std::string_view name, bool large) {
  return SystemIconIndexOf(std::string(name), large);
}

Size GdiSurface::SystemIconSize(bool large) {
  int width = 0;
  int height = 0;
  if (HIMAGELIST list = SystemImageList(large)) ImageList_GetIconSize(list, &width, &height);
  return Size{width, height};
}

void GdiSurface::DrawSystemIcon(int index, bool large, const Rect& rect) {
  FlushHeld();
  ForgetTextSettings();
  DrawSystemIconAt(index, large, dc_, RECT{rect.left, rect.top, rect.right, rect.bottom});
}

}  // namespace htmlabel
