#include "htmlabel/draw_html.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "framework/exception.h"
#include "htmlabel/html_color.h"
#include "htmlabel/html_entities.h"
#include "htmlabel/image_source.h"
#include "htmlabel/picture_cache.h"
#include "htmlabel/picture_container.h"
#include "htmlabel/picture_geometry.h"

namespace htmlabel {
namespace {

constexpr unsigned kBaseFormat = text_format::kSingleLine | text_format::kBottom |
                                 text_format::kExpandTabs | text_format::kExternalLeading;
constexpr int kListStep = 12;                       // pixels per list level
constexpr int kMaxNumber = 1000000;                 // numbers in attributes saturate here
constexpr int kMaxFontSize = 1000;                  // points; larger sizes are taken as this
constexpr size_t kMaxFaceName = 31;                 // the system's limit for a font's face name
constexpr int kMaxListLevel = 10000;                // deeper lists indent no further
constexpr std::int64_t kCoordinateLimit = 1 << 29;  // every position stays within this
constexpr int kGradientSteps = 64;
constexpr Color kHighlight = 0x80000000u + 13;
constexpr Color kHighlightText = 0x80000000u + 14;

// Keeps sums of positions and sizes far from the ends of int.
int Bounded(std::int64_t value) {
  return static_cast<int>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = Upper(c);
  return out;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The text between the first two double quotes at or after offset; empty when
// there are fewer than two.
std::string_view Quoted(std::string_view text, size_t offset) {
  const size_t open = text.find('"', offset);
  if (open == std::string_view::npos) return {};
  const size_t close = text.find('"', open + 1);
  if (close == std::string_view::npos) return {};
  return text.substr(open + 1, close - open - 1);
}

// Finds an attribute name anywhere in tag; its value is the quoted text after it.
bool FindAttribute(std::string_view tag, std::string_view name, std::string_view* value) {
  const size_t at = tag.find(name);
  if (at == std::string_view::npos) return false;
  *value = Quoted(tag, at + name.size());
  return true;
}

// The number formed by the leading digits, 0 when there are none; saturates.
int LeadingNumber(std::string_view text) {
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min(kMaxNumber, value * 10 + (c - '0'));
  }
  return value;
}

// A whole number with an optional sign; false for anything else.
bool WholeNumber(std::string_view text, int* value) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int magnitude = LeadingNumber(text);
  *value = negative ? -magnitude : magnitude;
  return true;
}

// The number in quotes after the first letter (either case) of the tag.
std::string_view QuotedAfterLetter(std::string_view upper_tag, char letter) {
  const size_t at = upper_tag.find(letter);
  if (at == std::string_view::npos) return {};
  return Quoted(upper_tag, at + 1);
}

// Where the run at the start of source ends: the first "<", or with word
// wrapping the first blank if it comes sooner; npos when neither comes.
size_t RunEnd(std::string_view source, bool blanks) {
  for (size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '<' || (blanks && source[i] == ' ')) return i;
  }
  return std::string_view::npos;
}

enum class Align { kLeft, kRight, kCenter };

class Layout {
 public:
  Layout(DrawingSurface& canvas, const DrawHtmlArgs& args, DrawHtmlResults& results)
      : canvas_(canvas), args_(args), results_(results) {}

  bool Run(std::string_view source);

 private:
  // One line of the source, measured or drawn; see Run.
  void Pass(std::string_view& source, const Rect& line, bool measuring, bool drawing,
            std::string* line_markup);
  void HandleTag(std::string_view source, bool measuring, bool drawing);
  void HandleStartTag(std::string_view tag, const std::string& upper, bool measuring, bool drawing);
  void HandleEndTag(const std::string& upper, bool drawing);
  void StartAnchor(std::string_view tag, bool drawing);
  void EndAnchor(bool drawing);
  void ListItem(bool drawing);
  void Paragraph(const std::string& upper, bool drawing);
  void Body(std::string_view tag, const std::string& upper, bool drawing);
  void FontTag(const std::string& upper, bool drawing);
  void Image(std::string_view tag, const std::string& upper, bool drawing);
  // The size an image tag's source takes, drawing it when drawing; 0 x 0
  // when it names nothing that can be shown.
  Size ImageListImage(std::string_view index_text, bool drawing, int top);
  Size SystemIcon(std::string_view name, bool large, bool drawing, int top);
  Size MarkupPicture(std::string_view src, int width, int height, bool drawing, int top);
  THTMLPicture* FindPicture(std::string_view src);
  int PrintScaled(int pixels) const;

  void ApplyFont() { canvas_.SetFont(font_); }
  void SetBackground(Color color);
  void FillWithPen(const Rect& rect, Color color);
  void FillGradient(const Rect& band, Color from, Color to);
  void DrawErrorMark(int left, int right, int bottom);
  void DrawFocus(int bottom);
  int GhHeight() { return canvas_.TextExtent("gh").cy; }
  int MeasureWidth(std::string_view text);

  DrawingSurface& canvas_;
  const DrawHtmlArgs& args_;
  DrawHtmlResults& results_;
  unsigned format_ = kBaseFormat;

  Font base_font_;
  Font font_;
  std::optional<Font> unrotated_font_;
  Color entry_brush_ = clNone;
  Color background_ = clNone;
  Color font_background_saved_ = clNone;
  Color highlight_font_saved_ = clBlack;
  Color highlight_background_saved_ = clNone;
  Color paragraph_background_saved_ = clNone;
  Color anchor_background_saved_ = clNone;
  Color anchor_font_saved_ = clBlack;

  bool in_anchor_ = false;
  // Targets are shared, not copied: one can be as long as the markup.
  std::shared_ptr<const std::string> anchor_target_;
  bool hidden_ = false;
  bool shadow_ = false;
  bool error_mark_ = false;
  bool paragraph_background_ = false;
  int list_level_ = 0;
  Align align_ = Align::kLeft;
  int indent_ = 0;
  int anchor_number_ = 0;
  int image_number_ = 0;
  int image_at_mouse_ = -1;  // the image inside an anchor last hit, -1 for none

  // Per line.
  int line_height_ = 0;
  int lift_ = 0;
  int drop_ = 0;
  int image_offset_ = 0;
  bool superscript_ = false;
  bool subscript_ = false;

  // Per pass.
  Rect box_;
  int x_ = 0;
  int draw_x_ = 0;
  bool line_done_ = false;
  bool overflow_ = false;
  bool line_has_text_ = false;
  bool line_ends_in_blank_ = false;
  int blank_width_ = 0;
  int list_items_ = 0;
  bool text_hit_ = false;
  bool hit_testing_ = false;

  // The anchor under the mouse, kept until the point is known to be on it.
  int anchor_left_ = 0;
  int anchor_top_ = 0;
  bool anchor_pending_ = false;
  int pending_index_ = -1;
  std::shared_ptr<const std::string> hit_target_;
  std::shared_ptr<const std::string> focused_target_;
  int hit_index_ = -1;
  Rect hit_box_;
  bool hit_box_known_ = false;
  bool on_anchor_ = false;

  // The focus rectangle of the anchor numbered FocusIndex + 1.
  bool focus_open_ = false;
  bool focus_continues_ = false;
  Rect focus_;
};

void Layout::SetBackground(Color color) {
  background_ = color;
  if (color == clNone) {
    canvas_.SetBrushStyle(BrushStyle::kClear);
    canvas_.SetBackgroundMode(BackgroundMode::kTransparent);
  } else {
    canvas_.SetBrushColor(color);
    canvas_.SetBackgroundMode(BackgroundMode::kOpaque);
  }
}

// Fills rect with the colour in brush and pen alike; the pen and the
// background are put back afterwards.
void Layout::FillWithPen(const Rect& rect, Color color) {
  if (color == clNone) return;
  const Pen pen = canvas_.GetPen();
  canvas_.SetPen(Pen{color, 1, PenStyle::kSolid});
  canvas_.SetBrushColor(color);
  canvas_.Rectangle(rect);
  canvas_.SetPen(pen);
  SetBackground(background_);
}

void Layout::FillGradient(const Rect& band, Color from, Color to) {
  const int width = band.right - band.left;
  if (width <= 0 || band.bottom <= band.top) return;
  int r1, g1, b1, r2, g2, b2;
  ColorComponents(canvas_, from, &r1, &g1, &b1);
  ColorComponents(canvas_, to, &r2, &g2, &b2);
  const double step = static_cast<double>(width) / kGradientSteps;
  const Pen pen = canvas_.GetPen();
  for (int i = 0; i < kGradientSteps; ++i) {
    const int left = band.left + static_cast<int>(std::nearbyint(i * step));
    const int right = std::min(band.right, left + static_cast<int>(step) + 1);
    auto mix = [i](int a, int b) {
      return a +
             static_cast<int>(std::nearbyint(i * (b - a) / static_cast<double>(kGradientSteps)));
    };
    const Color color = static_cast<Color>(mix(r1, r2)) | static_cast<Color>(mix(g1, g2)) << 8 |
                        static_cast<Color>(mix(b1, b2)) << 16;
    canvas_.SetPen(Pen{color, 1, PenStyle::kSolid});
    canvas_.SetBrushColor(color);
    canvas_.Rectangle(Rect{left, band.top, right, band.bottom});
  }
  canvas_.SetPen(pen);
}

// A red zig-zag two pixels high under a run, on even x positions; it stops at
// the right edge of the bounds, beyond which nothing is visible.
void Layout::DrawErrorMark(int left, int right, int bottom) {
  const Pen pen = canvas_.GetPen();
  canvas_.SetPen(Pen{clRed, 1, PenStyle::kSolid});
  int x = left / 2 * 2;
  const int base = bottom - 1;
  int offset = (x % 4 == 0) ? 2 : 0;
  canvas_.MoveTo(x, base + offset);
  const int end = std::min(right, args_.Bounds.right);
  for (x += 2; x <= end; x += 2) {
    offset = 2 - offset;
    canvas_.LineTo(x, base + offset);
  }
  canvas_.SetPen(pen);
}

// Draws the focus rectangle from its left edge to the draw position.
void Layout::DrawFocus(int bottom) {
  Rect rect = focus_;
  rect.right = draw_x_;
  rect.bottom = bottom - image_offset_;
  rect.top = rect.bottom - GhHeight();
  rect.left -= 1;
  rect.right += 1;
  canvas_.DrawFocusRect(rect);
}

int Layout::MeasureWidth(std::string_view text) {
  Rect rect = box_;
  canvas_.DrawText(text, &rect, format_ | text_format::kCalcRect);
  return rect.right - rect.left;
}

bool Layout::Run(std::string_view markup) {
  base_font_ = canvas_.GetFont();
  font_ = base_font_;
  highlight_font_saved_ = anchor_font_saved_ = base_font_.color;
  entry_brush_ = canvas_.BrushColor();
  const BrushStyle entry_brush_style = canvas_.GetBrushStyle();
  const BackgroundMode entry_mode = canvas_.GetBackgroundMode();
  const Pen entry_pen = canvas_.GetPen();
  SetBackground(clNone);

  results_.AnchorCount = 0;
  results_.ExtentX = 0;
  results_.ExtentY = 0;
  results_.AnchorIndexAtMouse = -1;
  results_.PlainText.clear();
  results_.FocusedAnchor.clear();
  if (!args_.WrapWords) format_ |= text_format::kEndEllipsis;

  const std::string prepared = PrepareMarkup(markup);
  std::string_view source = prepared;
  Font measuring_font = base_font_;
  Font drawing_font = base_font_;
  // The font a rotation ends in, per pass: rotated text may span lines, and
  // each pass has its own font to return to.
  std::optional<Font> measuring_unrotated;
  std::optional<Font> drawing_unrotated;
  Rect line = args_.Bounds;
  line.left += 1;

  while (!source.empty()) {
    font_ = measuring_font;
    ApplyFont();
    lift_ = drop_ = image_offset_ = 0;
    const int min_height = GhHeight();
    line_height_ = min_height;
    const bool saved_in_anchor = in_anchor_;
    const std::shared_ptr<const std::string> saved_target = anchor_target_;
    const int saved_anchor_number = anchor_number_;
    const int saved_list_level = list_level_;
    const int saved_image_number = image_number_;

    std::string line_markup;
    unrotated_font_ = measuring_unrotated;
    Pass(source, line, /*measuring=*/true, /*drawing=*/false, &line_markup);
    const int line_width = x_;
    in_anchor_ = saved_in_anchor;
    anchor_target_ = saved_target;
    measuring_font = font_;
    measuring_unrotated = unrotated_font_;

    Rect placed = line;
    if (align_ == Align::kRight) {
      if (placed.right - line_width > placed.left) placed.left = placed.right - line_width;
    } else if (align_ == Align::kCenter) {
      const int free = placed.right - placed.left - line_width;
      if (free > 0) placed.left += free / 2;
    }
    placed.left = Bounded(static_cast<std::int64_t>(placed.left) + indent_);
    const int advance =
        Bounded(static_cast<std::int64_t>(line_height_) + drop_ + static_cast<std::int64_t>(lift_));
    placed.bottom = Bounded(static_cast<std::int64_t>(placed.top) + advance);

    if (!args_.MeasureOnly) {
      font_ = drawing_font;
      ApplyFont();
      anchor_number_ = saved_anchor_number;
      list_level_ = saved_list_level;
      image_number_ = saved_image_number;
      std::string_view drawn = line_markup;
      unrotated_font_ = drawing_unrotated;
      Pass(drawn, placed, /*measuring=*/false, /*drawing=*/!args_.NoDraw, nullptr);
      drawing_font = font_;
      drawing_unrotated = unrotated_font_;
      const int text_bottom = placed.bottom - image_offset_;
      if (text_hit_ && args_.MouseY > text_bottom - GhHeight() && args_.MouseY < text_bottom) {
        on_anchor_ = true;
      }
    }

    line.top = Bounded(static_cast<std::int64_t>(line.top) + advance);
    results_.ExtentY = Bounded(static_cast<std::int64_t>(results_.ExtentY) + advance);
    if (!args_.MeasureOnly &&
        static_cast<std::int64_t>(line.top) + min_height > args_.Bounds.bottom) {
      break;
    }
  }

  results_.AnchorCount = anchor_number_;
  if (focused_target_) results_.FocusedAnchor = *focused_target_;
  if (on_anchor_) {
    results_.AnchorAtMouse = hit_target_ ? *hit_target_ : std::string();
    results_.AnchorIndexAtMouse = hit_index_;
    if (hit_box_known_) results_.AnchorBounds = hit_box_;
  }
  canvas_.SetFont(base_font_);
  if (results_.ExtentY == 0) results_.ExtentY = GhHeight();
  canvas_.SetBrushColor(entry_brush_);
  canvas_.SetBrushStyle(entry_brush_style);
  canvas_.SetBackgroundMode(entry_mode);
  canvas_.SetPen(entry_pen);
  return on_anchor_;
}

// One pass over a line. The measuring pass takes runs and tags from source as
// long as they fit and copies what it took to line_markup; the second pass
// runs over exactly that markup, drawing it (or, without drawing, hit-testing).
void Layout::Pass(std::string_view& source, const Rect& line, bool measuring, bool drawing,
                  std::string* line_markup) {
  hit_testing_ = !measuring && !drawing;
  const bool hit_testing = hit_testing_;
  x_ = 0;
  draw_x_ = line.left;
  line_done_ = overflow_ = false;
  line_has_text_ = line_ends_in_blank_ = false;
  blank_width_ = 0;
  list_items_ = 0;
  text_hit_ = false;
  superscript_ = subscript_ = false;
  box_ = line;

  if (paragraph_background_ && drawing) {
    FillWithPen(Rect{args_.Bounds.left, line.top, args_.Bounds.right,
                     Bounded(static_cast<std::int64_t>(line.top) + line_height_)},
                background_);
  }
  if (focus_continues_ && drawing) focus_.left = draw_x_;
  box_.bottom -= drop_;
  const int available = box_.right - box_.left;

  while (!source.empty() && !line_done_ && !overflow_) {
    const size_t stop = RunEnd(source, args_.WrapWords);
    std::string_view run = source;
    if (stop != std::string_view::npos)
      run = source.substr(0, source[stop] == ' ' ? stop + 1 : stop);

    if (!run.empty()) {
      const std::string text = ReplaceRunEntities(run);
      const int height = canvas_.TextExtent(text).cy;
      if (subscript_) drop_ = std::max(drop_, height / 4);
      if (superscript_) lift_ = std::max(lift_, height / 4);
      line_height_ = std::max(line_height_, height);

      if (hidden_) {
        if (measuring) results_.PlainText += text;
        source.remove_prefix(run.size());
      } else {
        const int old_x = x_;
        int width = 0;
        if (!drawing) {
          width = MeasureWidth(text);
          x_ = Bounded(static_cast<std::int64_t>(x_) + width);
        } else {
          Rect text_box{draw_x_, box_.top, box_.right, box_.bottom};
          if (superscript_) text_box.bottom -= lift_;
          if (subscript_) text_box.bottom += drop_;
          text_box.bottom -= image_offset_;
          if (shadow_) {
            Rect shadow_box{text_box.left + args_.ShadowOffset, text_box.top + args_.ShadowOffset,
                            text_box.right + args_.ShadowOffset,
                            text_box.bottom + args_.ShadowOffset};
            Font shadow_font = font_;
            shadow_font.color = args_.ShadowColor;
            canvas_.SetFont(shadow_font);
            canvas_.DrawText(text, &shadow_box, format_);
            ApplyFont();
          }
          Rect drawn = text_box;
          canvas_.DrawText(text, &drawn, format_);
          Rect measured = text_box;
          canvas_.DrawText(text, &measured, format_ | text_format::kCalcRect);
          width = measured.right - measured.left;
          if (in_anchor_ && anchor_number_ == args_.FocusIndex + 1) {
            focused_target_ = anchor_target_;
          }
          if (error_mark_) DrawErrorMark(text_box.left, measured.right, text_box.bottom);
          draw_x_ = Bounded(measured.right);
        }

        const bool fits = x_ < available || width >= available;
        const bool taken = fits || (line_has_text_ && !line_ends_in_blank_);
        if (taken || !args_.WrapWords) {
          if (line_markup != nullptr) line_markup->append(run);
          if (measuring) results_.PlainText += text;
          source.remove_prefix(run.size());
          if (measuring && !args_.WrapWords && !fits && line_has_text_) source = {};
          blank_width_ = text.back() == ' ' ? MeasureWidth(" ") : 0;
          const std::int64_t mouse_x = static_cast<std::int64_t>(args_.MouseX) - box_.left;
          // A hit counts only with the point below the line's top, so that a
          // hit always has its anchor's target, number and box.
          if (hit_testing && in_anchor_ && mouse_x >= old_x && mouse_x <= x_ &&
              box_.top < args_.MouseY) {
            text_hit_ = true;
            hit_target_ = anchor_target_;
            anchor_pending_ = true;
            pending_index_ = anchor_number_;
          }
        } else {
          line_done_ = true;
          x_ = old_x;
        }
        line_has_text_ = true;
        line_ends_in_blank_ = text.back() == ' ';
      }
    }

    if (!source.empty() && source.front() == '<' && source.size() <= 2) source = {};
    if (line_done_ || source.empty() || source.front() != '<' || source.size() < 3) continue;

    HandleTag(source, measuring, drawing);
    if (!overflow_) {
      const size_t close = source.find('>');
      const size_t length = close == std::string_view::npos ? source.size() : close + 1;
      if (line_markup != nullptr) line_markup->append(source.substr(0, length));
      source.remove_prefix(length);
    }
  }

  x_ -= blank_width_;
  results_.ExtentX = std::max(results_.ExtentX, x_);
  if (drawing && focus_open_) {
    DrawFocus(box_.bottom);
    focus_continues_ = true;
  }
  if (hit_testing && anchor_pending_) {
    // An anchor still open at the line's end: its box so far.
    hit_box_ = Rect{anchor_left_, anchor_top_, box_.left + x_, box_.bottom};
    if (anchor_top_ != box_.top) hit_box_ = Rect{box_.left, box_.top, box_.left + x_, box_.bottom};
    hit_box_known_ = true;
    hit_index_ = pending_index_;
  }
}

void Layout::HandleTag(std::string_view source, bool measuring, bool drawing) {
  const size_t close = source.find('>');
  const std::string_view tag =
      source.substr(0, close == std::string_view::npos ? source.size() : close + 1);
  const std::string upper = UpperCopy(tag);
  if (upper[1] == '/' && source.size() > 3) {
    HandleEndTag(upper, drawing);
  } else {
    HandleStartTag(tag, upper, measuring, drawing);
  }
  ApplyFont();
}

void Layout::HandleStartTag(std::string_view tag, const std::string& upper, bool measuring,
                            bool drawing) {
  const char second = upper.size() > 2 ? upper[2] : '\0';
  switch (upper[1]) {
    case 'A':
      StartAnchor(tag, drawing);
      break;
    case 'B':
      if (second == '>') {
        font_.style |= kBold;
      } else if (second == 'R') {
        line_done_ = true;
        if (measuring) results_.PlainText += '\r';
      } else if (second == 'L') {
        if (!args_.BlinkOn) font_.color = entry_brush_;
      } else if (second == 'O') {
        Body(tag, upper, drawing);
      }
      break;
    case 'E':
      if (drawing) error_mark_ = true;
      break;
    case 'F':
      FontTag(upper, drawing);
      break;
    case 'H':
      if (second == 'I') {
        if (drawing) {
          highlight_font_saved_ = font_.color;
          highlight_background_saved_ = background_;
          SetBackground(kHighlight);
          font_.color = kHighlightText;
        }
      } else if (second == 'R') {
        line_done_ = true;
        if (drawing) {
          const Pen pen = canvas_.GetPen();
          canvas_.SetPen(Pen{clBlack, 1, PenStyle::kSolid});
          canvas_.MoveTo(box_.left, box_.bottom + 1);
          canvas_.LineTo(box_.right, box_.bottom + 1);
          canvas_.SetPen(pen);
        }
      }
      break;
    case 'I':
      if (second == '>') {
        font_.style |= kItalic;
      } else if (second == 'N') {
        int position = 0;
        if (WholeNumber(QuotedAfterLetter(upper, 'X'), &position) && position > x_) {
          x_ = position;
          draw_x_ = Bounded(static_cast<std::int64_t>(args_.Bounds.left) + position);
        }
      } else if (second == 'M') {
        Image(tag, upper, drawing);
      }
      break;
    case 'L':
      ListItem(drawing);
      break;
    case 'P':
      Paragraph(upper, drawing);
      break;
    case 'R': {
      const std::string_view angle_text = QuotedAfterLetter(upper, 'A');
      int angle = 0;
      if (!angle_text.empty() && angle_text.front() == '-') {
        angle = -LeadingNumber(angle_text.substr(1));
      } else {
        angle = LeadingNumber(angle_text);
      }
      angle = std::clamp(angle, -3600, 3600);
      unrotated_font_ = font_;
      font_.escapement = font_.orientation = angle * 10;
      break;
    }
    case 'S':
      if (upper.starts_with("<SUB>")) {
        subscript_ = true;
      } else if (upper.starts_with("<SUP>")) {
        superscript_ = true;
      } else if (second == 'H') {
        shadow_ = true;
      } else if (second == '>') {
        font_.style |= kStrikeOut;
      }
      break;
    case 'U':
      if (second == '>') {
        font_.style |= kUnderline;
      } else {
        list_level_ = std::min(list_level_ + 1, kMaxListLevel);
        line_done_ = true;
      }
      break;
    case 'Z':
      hidden_ = true;
      break;
    default:
      break;
  }
}

void Layout::HandleEndTag(const std::string& upper, bool drawing) {
  const char second = upper.size() > 3 ? upper[3] : '\0';
  switch (upper[2]) {
    case 'A':
      EndAnchor(drawing);
      break;
    case 'B':
      if (second == '>') {
        font_.style &= ~static_cast<unsigned>(kBold);
      } else {
        font_.color = base_font_.color;
      }
      break;
    case 'E':
      if (drawing) error_mark_ = false;
      break;
    case 'F':
      font_.name = base_font_.name;
      font_.size = base_font_.size;
      if (drawing && !args_.Selected) {
        font_.color = base_font_.color;
        SetBackground(font_background_saved_);
      }
      break;
    case 'H':
      if (drawing) {
        font_.color = highlight_font_saved_;
        SetBackground(highlight_background_saved_);
      }
      break;
    case 'I':
      font_.style &= ~static_cast<unsigned>(kItalic);
      break;
    case 'L':
      line_done_ = true;
      break;
    case 'P':
      line_done_ = true;
      if (drawing) {
        SetBackground(paragraph_background_saved_);
        paragraph_background_ = false;
      }
      break;
    case 'R':
      if (unrotated_font_) {
        font_ = *unrotated_font_;
        unrotated_font_.reset();
      }
      break;
    case 'S':
      if (second == 'U') {
        subscript_ = superscript_ = false;
      } else if (second == 'H') {
        shadow_ = false;
      } else {
        font_.style &= ~static_cast<unsigned>(kStrikeOut);
      }
      break;
    case 'U':
      if (second != '>' && list_level_ > 0) {
        --list_level_;
      } else {
        font_.style &= ~static_cast<unsigned>(kUnderline);
      }
      break;
    case 'Z':
      hidden_ = false;
      break;
    default:
      break;
  }
}

void Layout::StartAnchor(std::string_view tag, bool drawing) {
  if (anchor_number_ == args_.FocusIndex && drawing) {
    focus_ = Rect{draw_x_, box_.top, draw_x_, box_.bottom};
    focus_open_ = true;
    focus_continues_ = false;
  }
  if (anchor_number_ < kMaxNumber) ++anchor_number_;
  const bool hovered = anchor_number_ == args_.HoverIndex;
  if (drawing && (!args_.HoverOnly || hovered)) {
    font_.style |= kUnderline;
    if (args_.HoverColor != clNone) {
      anchor_background_saved_ = background_;
      SetBackground(args_.HoverColor);
    }
    if (args_.HoverFontColor != clNone) {
      anchor_font_saved_ = font_.color;
      font_.color = args_.HoverFontColor;
    }
  }
  if (!args_.Selected && (args_.HoverFontColor == clNone || !hovered || !args_.HoverOnly)) {
    font_.color = args_.URLColor;
  }
  anchor_target_ = std::make_shared<const std::string>(Quoted(tag, 0));
  in_anchor_ = true;
  if (hit_testing_) {
    anchor_left_ = box_.left + x_;
    anchor_top_ = box_.top;
  }
}

void Layout::EndAnchor(bool drawing) {
  if (drawing && (!args_.HoverOnly || anchor_number_ == args_.HoverIndex)) {
    font_.style &= ~static_cast<unsigned>(kUnderline);
    if (args_.HoverColor != clNone) SetBackground(anchor_background_saved_);
    if (args_.HoverFontColor != clNone) font_.color = anchor_font_saved_;
  }
  if (!args_.Selected) font_.color = base_font_.color;
  in_anchor_ = false;
  if (anchor_pending_ && hit_testing_) {
    hit_box_ = Rect{anchor_left_, anchor_top_, box_.left + x_, box_.bottom};
    if (anchor_top_ != box_.top) {
      hit_box_.left = box_.left;
      hit_box_.top = box_.top;
    }
    hit_box_known_ = true;
    hit_index_ = pending_index_;
    anchor_pending_ = false;
  }
  if (focus_open_ && anchor_number_ == args_.FocusIndex + 1) {
    if (drawing) DrawFocus(box_.bottom);
    focus_open_ = focus_continues_ = false;
  }
}

void Layout::ListItem(bool drawing) {
  if (list_items_ > 0) {
    overflow_ = true;
    return;
  }
  ++list_items_;
  x_ = Bounded(static_cast<std::int64_t>(x_) + static_cast<std::int64_t>(kListStep) * list_level_);
  draw_x_ = Bounded(box_.left + static_cast<std::int64_t>(kListStep) * (list_level_ - 1));
  if (drawing && !hidden_) {
    Font symbol = font_;
    symbol.name = "Symbol";
    canvas_.SetFont(symbol);
    const char bullet = (list_level_ % 2 != 0) ? '\xB7' : 'o';
    Rect rect{draw_x_, box_.top, box_.right, box_.bottom};
    canvas_.DrawText(std::string_view(&bullet, 1), &rect, format_);
    ApplyFont();
  }
  draw_x_ = Bounded(static_cast<std::int64_t>(draw_x_) + kListStep);
}

void Layout::Paragraph(const std::string& upper, bool drawing) {
  std::string_view value;
  if (FindAttribute(upper, "ALIGN", &value)) {
    if (Contains(value, "RIGHT")) align_ = Align::kRight;
    if (Contains(value, "LEFT")) align_ = Align::kLeft;
    if (Contains(value, "CENTER")) align_ = Align::kCenter;
  }
  if (FindAttribute(upper, "INDENT", &value)) indent_ = LeadingNumber(value);
  if (!FindAttribute(upper, "BGCOLOR", &value)) return;
  const Color color = value.empty() ? clNone : ParseColor(value);
  if (!drawing) return;
  const Rect band{args_.Bounds.left, box_.top, args_.Bounds.right, box_.bottom};
  std::string_view to_value;
  if (!FindAttribute(upper, "BGCOLORTO", &to_value)) {
    paragraph_background_ = true;
    paragraph_background_saved_ = background_;
    SetBackground(color);
    FillWithPen(band, color);
  } else {
    paragraph_background_ = true;
    const Color to = to_value.empty() ? clNone : ParseColor(to_value);
    FillGradient(Rect{band.left, band.top, band.right, band.bottom + 2}, color, to);
    SetBackground(clNone);
  }
}

// The body colour fills the bounds first and the background picture is tiled
// over it, so that a body with both shows its picture.
void Layout::Body(std::string_view tag, const std::string& upper, bool drawing) {
  if (!drawing) return;
  const std::string_view attributes =
      upper.size() > 5 ? std::string_view(upper).substr(5) : std::string_view();
  std::string_view value;
  if (FindAttribute(attributes, "BGCOLOR", &value)) {
    std::optional<Color> color;
    if (Contains(value, "CL")) {
      color = ColorFromName(value);
    } else if (const size_t hash = value.find('#'); hash != std::string_view::npos) {
      color = ColorFromHex(value.substr(hash));
    }
    if (color) {
      SetBackground(*color);
      font_background_saved_ = *color;
      FillWithPen(args_.Bounds, *color);
    }
  }
  const size_t at = attributes.find("BACKGROUND");
  if (at == std::string_view::npos) return;
  // The value as written: addresses are found by their exact text.
  const std::string_view source = Quoted(tag.substr(5), at + 10);
  THTMLPicture* picture = FindPicture(source);
  if (picture == nullptr || picture->Empty() || picture->Decoded() == nullptr ||
      picture->Width() <= 0 || picture->Height() <= 0) {
    return;
  }
  canvas_.SetClipRect(&args_.Bounds);
  canvas_.TilePicture(*picture, args_.Bounds);
  canvas_.SetClipRect(nullptr);
}

int Layout::PrintScaled(int pixels) const {
  const double scaled = std::nearbyint(pixels * args_.ScaleFactor);
  if (!(scaled > 0)) return 0;  // also NaN
  return scaled >= kMaxPictureExtent ? kMaxPictureExtent : static_cast<int>(scaled);
}

THTMLPicture* Layout::FindPicture(std::string_view src) {
  const ImageSource source = ClassifyImageSource(src);
  if (source.kind == ImageSourceKind::kNamedPicture) {
    return args_.PictureContainer ? args_.PictureContainer->PictureByName(src) : nullptr;
  }
  if (source.kind != ImageSourceKind::kAddressedPicture || args_.PictureCache == nullptr) {
    return nullptr;
  }
  if (THTMLPicture* known = args_.PictureCache->PictureByAddress(src)) return known;
  // A new address is recorded once; a web address starts no download, and a
  // resource or file that does not decode leaves the picture empty, found
  // again (still empty) at every later paint.
  THTMLPicture& picture = args_.PictureCache->NewPicture();
  picture.SetAsynchronous(false);
  try {
    picture.LoadFromAddress(std::string(src));
  } catch (const fw::Exception&) {
  }
  return &picture;
}

Size Layout::ImageListImage(std::string_view index_text, bool drawing, int top) {
  const TImageList* list = args_.ImageList;
  const int index = LeadingNumber(index_text);
  if (list == nullptr || index >= list->Count()) return {};
  const Size image = list->ImageSize();
  const int dpi = canvas_.PixelsPerInch();
  if (drawing) {
    const Size drawn = args_.PrintMode ? Size{PrintScaled(image.cx), PrintScaled(image.cy)} : image;
    canvas_.DrawListImage(*list, index, Rect{draw_x_, top, draw_x_ + drawn.cx, top + drawn.cy});
  }
  return Size{ScaleForDevice(image.cx, dpi), ScaleForDevice(image.cy, dpi)};
}

Size Layout::SystemIcon(std::string_view name, bool large, bool drawing, int top) {
  const int index =
      IsDecimalNumber(name) ? LeadingNumber(name) : canvas_.SystemIconIndex(name, large);
  if (index < 0) return {};
  const Size icon = canvas_.SystemIconSize(large);
  if (icon.cx <= 0 || icon.cy <= 0) return {};
  const int dpi = canvas_.PixelsPerInch();
  if (drawing) {
    const Size drawn = args_.PrintMode ? Size{PrintScaled(icon.cx), PrintScaled(icon.cy)} : icon;
    canvas_.DrawSystemIcon(index, large, Rect{draw_x_, top, draw_x_ + drawn.cx, top + drawn.cy});
  }
  return Size{ScaleForDevice(icon.cx, dpi), ScaleForDevice(icon.cy, dpi)};
}

Size Layout::MarkupPicture(std::string_view src, int width, int height, bool drawing, int top) {
  THTMLPicture* picture = FindPicture(src);
  if (picture == nullptr || picture->Empty() || picture->Decoded() == nullptr) return {};
  const int dpi = canvas_.PixelsPerInch();
  if (width >= 1 && height >= 1) {
    picture->SetStretch(true);
    const Size size{ScaleForDevice(width, dpi), ScaleForDevice(height, dpi)};
    if (drawing) picture->Draw(canvas_, Rect{draw_x_, top, draw_x_ + size.cx, top + size.cy});
    return size;
  }
  // A GIF is laid out by its logical screen, whichever frame it shows.
  const Size screen = picture->ScreenSize();
  const Size natural =
      screen.cx > 0 && screen.cy > 0 ? screen : Size{picture->Width(), picture->Height()};
  const Size size{ScaleForDevice(natural.cx, dpi), ScaleForDevice(natural.cy, dpi)};
  if (drawing) {
    if (picture->FrameCount() > 1) {
      // The earlier frame's pixels go before the next frame is drawn over them.
      FillWithPen(Rect{draw_x_, top, draw_x_ + ScaleForDevice(screen.cx, dpi),
                       top + ScaleForDevice(screen.cy, dpi)},
                  entry_brush_);
    }
    const Rect frame = picture->FrameRect();
    const int left = draw_x_ + ScaleForDevice(frame.left, dpi);
    const int frame_top = top + ScaleForDevice(frame.top, dpi);
    // Natural size whatever Stretch says: another tag may have stretched it.
    const bool stretched = picture->Stretch();
    picture->SetStretch(false);
    picture->Draw(canvas_, Rect{left, frame_top, left, frame_top});
    picture->SetStretch(stretched);
  }
  return size;
}

void Layout::Image(std::string_view tag, const std::string& upper, bool drawing) {
  if (image_number_ < kMaxNumber) ++image_number_;
  const size_t src_at = upper.find("SRC");
  // The source keeps its case: addresses and names are as written.
  const std::string_view src =
      src_at == std::string::npos ? std::string_view() : Quoted(tag, src_at + 3);
  std::string_view value;
  const int width = FindAttribute(upper, "WIDTH", &value) ? PictureExtentValue(value) : 0;
  const int height = FindAttribute(upper, "HEIGHT", &value) ? PictureExtentValue(value) : 0;
  const int top = box_.top;
  const ImageSource source = ClassifyImageSource(src);
  Size size;
  switch (source.kind) {
    case ImageSourceKind::kImageList:
      size = ImageListImage(source.rest, drawing, top);
      break;
    case ImageSourceKind::kSmallSystemIcon:
    case ImageSourceKind::kLargeSystemIcon:
      size =
          SystemIcon(source.rest, source.kind == ImageSourceKind::kLargeSystemIcon, drawing, top);
      break;
    case ImageSourceKind::kNamedPicture:
    case ImageSourceKind::kAddressedPicture:
      size = MarkupPicture(src, width, height, drawing, top);
      break;
    case ImageSourceKind::kNone:
      break;
  }
  if (size.cx <= 0 || size.cy <= 0) return;  // nothing to show takes no room

  const std::int64_t mouse_x = static_cast<std::int64_t>(args_.MouseX) - box_.left;
  if (hit_testing_ && in_anchor_ && mouse_x > x_ &&
      mouse_x < static_cast<std::int64_t>(x_) + size.cx && args_.MouseY > top &&
      args_.MouseY < static_cast<std::int64_t>(top) + size.cy) {
    // An image link: the point is on its anchor, which gets its box at its end.
    image_at_mouse_ = image_number_;
    hit_target_ = anchor_target_;
    anchor_pending_ = true;
    pending_index_ = anchor_number_;
    on_anchor_ = true;
  }

  const int available = box_.right - box_.left;
  if (size.cx<available&& static_cast<std::int64_t>(x_) + size.cx> available) {
    overflow_ = true;  // the image starts the next line
    return;
  }
  x_ = Bounded(static_cast<std::int64_t>(x_) + size.cx);
  draw_x_ = Bounded(static_cast<std::int64_t>(draw_x_) + size.cx);
  line_height_ = std::max(line_height_, size.cy);
  const int gh = GhHeight();
  if (Contains(upper, "\"TOP")) {
    image_offset_ = std::max(0, line_height_ - gh);
  } else if (Contains(upper, "\"MIDDLE")) {
    image_offset_ = std::max(0, (line_height_ - gh) / 2);
  }
}

void Layout::FontTag(const std::string& upper, bool drawing) {
  const std::string_view attributes =
      upper.size() > 5 ? std::string_view(upper).substr(5) : std::string_view();
  std::string_view value;
  if (FindAttribute(attributes, "FACE", &value)) {
    font_.name = std::string(value.substr(0, kMaxFaceName));
  }
  if (FindAttribute(attributes, " COLOR", &value) && !args_.Selected && !value.empty()) {
    font_.color = ParseColor(value);
  }
  if (FindAttribute(attributes, "BGCOLOR", &value) && drawing && !args_.Selected) {
    font_background_saved_ = background_;
    if (!value.empty()) SetBackground(ParseColor(value));
  }
  const size_t size_at = attributes.find("SIZE");
  if (size_at == std::string_view::npos) return;
  const size_t equals = attributes.find('=', size_at);
  if (equals == std::string_view::npos) return;
  std::string_view digits = attributes.substr(equals + 1);
  if (!digits.empty() && digits.front() == '"') digits.remove_prefix(1);
  const int number = LeadingNumber(digits);
  static constexpr int kSizes[] = {8, 10, 12, 14, 16};
  font_.size = (number >= 1 && number <= 5) ? kSizes[number - 1] : std::min(number, kMaxFontSize);
}

}  // namespace

bool DrawHTML(DrawingSurface& Canvas, std::string_view Source, const DrawHtmlArgs& args,
              DrawHtmlResults& results) {
  Layout layout(Canvas, args, results);
  return layout.Run(Source);
}

bool DrawHTML(DrawingSurface& Canvas, std::string_view Source, const Rect& Bounds,
              const TImageList* ImageList, int MouseX, int MouseY, int FocusIndex, int HoverIndex,
              int ShadowOffset, bool NoDraw, bool MeasureOnly, bool PrintMode, bool Selected,
              bool BlinkOn, bool HoverOnly, bool WrapWords, double ScaleFactor, Color URLColor,
              Color HoverColor, Color HoverFontColor, Color ShadowColor, std::string& AnchorAtMouse,
              std::string& PlainText, std::string& FocusedAnchor, int& ExtentX, int& ExtentY,
              int& AnchorCount, int& AnchorIndexAtMouse, Rect& AnchorBounds,
              THTMLPictureCache* PictureCache, TPictureContainer* PictureContainer) {
  DrawHtmlArgs args;
  args.Bounds = Bounds;
  args.ImageList = ImageList;
  args.MouseX = MouseX;
  args.MouseY = MouseY;
  args.FocusIndex = FocusIndex;
  args.HoverIndex = HoverIndex;
  args.ShadowOffset = ShadowOffset;
  args.NoDraw = NoDraw;
  args.MeasureOnly = MeasureOnly;
  args.PrintMode = PrintMode;
  args.Selected = Selected;
  args.BlinkOn = BlinkOn;
  args.HoverOnly = HoverOnly;
  args.WrapWords = WrapWords;
  args.ScaleFactor = ScaleFactor;
  args.URLColor = URLColor;
  args.HoverColor = HoverColor;
  args.HoverFontColor = HoverFontColor;
  args.ShadowColor = ShadowColor;
  args.PictureCache = PictureCache;
  args.PictureContainer = PictureContainer;
  DrawHtmlResults results;
  results.AnchorAtMouse = AnchorAtMouse;
  results.AnchorBounds = AnchorBounds;
  const bool on_anchor = DrawHTML(Canvas, Source, args, results);
  AnchorAtMouse = std::move(results.AnchorAtMouse);
  PlainText = std::move(results.PlainText);
  FocusedAnchor = std::move(results.FocusedAnchor);
  ExtentX = results.ExtentX;
  ExtentY = results.ExtentY;
  AnchorCount = results.AnchorCount;
  AnchorIndexAtMouse = results.AnchorIndexAtMouse;
  AnchorBounds = results.AnchorBounds;
  return on_anchor;
}

}  // namespace htmlabel
