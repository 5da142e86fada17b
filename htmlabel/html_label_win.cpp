#include "htmlabel/html_label.h"

#include <shellapi.h>

#include <utility>

#include "framework/application.h"
#include "framework/component_registry.h"
#include "framework/win_control.h"
#include "htmlabel/gdi_surface.h"
#include "htmlabel/hint_text.h"
#include "htmlabel/ole_picture_decoder_win.h"

namespace htmlabel {
namespace {

constexpr int kAutoSizingStart = 6;  // the aligned side of a label that starts sizing itself

bool ValueAsColor(const fw::PropertyValue& value, Color* color) {
  if (value.kind == fw::PropertyValue::Kind::kInteger) {
    *color = static_cast<Color>(value.integer);
    return true;
  }
  return value.kind == fw::PropertyValue::Kind::kIdentifier && fw::IdentToColor(value.text, color);
}

// The position of the identifier in names, or -1.
template <std::size_t N>
int IdentifierIndex(const fw::PropertyValue& value, const char* const (&names)[N]) {
  if (value.kind != fw::PropertyValue::Kind::kIdentifier) return -1;
  for (std::size_t i = 0; i < N; ++i) {
    if (value.text == names[i]) return static_cast<int>(i);
  }
  return -1;
}

constexpr const char* kAutoSizeTypes[] = {"asVertical", "asHorizontal", "asBoth"};
constexpr const char* kVAlignments[] = {"tvaTop", "tvaCenter", "tvaBottom"};
constexpr const char* kBevelCuts[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
constexpr const char* kBorderStyles[] = {"bsNone", "bsSingle"};
constexpr const char* kAligns[] = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};

}  // namespace

void WriteHoverDebugLine(int number) {
  OutputDebugStringA(std::to_string(number).c_str());
}

void RegisterHTMLabel() {
  fw::RegisterComponentClass("THTMLabel", fw::CreateComponent<THTMLabel>);
  RegisterPictureContainer();
}

THTMLabel::THTMLabel(fw::TComponent* owner) : fw::TLabel(owner) {
  SetAutoSize(false);
  UseSystemPictureLoader();
  // Pictures named by address belong to the markup that named them.
  html_text_.OnChange = [this](fw::TObject*) {
    picture_cache_.FreeAllPictures();
    HTMLTextChanged();
  };
}

THTMLabel::~THTMLabel() {
  html_text_.OnChange = nullptr;
  picture_cache_.FreeAllPictures();
}

void THTMLabel::Loaded() {
  fw::TLabel::Loaded();
  SetCaption(std::string());
  if (!picture_container_name_.empty() && Owner()) {
    picture_container_ =
        dynamic_cast<TPictureContainer*>(Owner()->FindComponent(picture_container_name_));
  }
}

void THTMLabel::SetImages(const TImageList* images) {
  images_ = images;
  Invalidate();
}

void THTMLabel::SetHTMLText(const fw::TStringList& lines) {
  SetHTMLText(lines.Text());
}

void THTMLabel::SetHTMLText(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') line += c;
  }
  html_text_.BeginUpdate();
  html_text_.Clear();
  if (!line.empty()) html_text_.Add(std::move(line));
  html_text_.EndUpdate();
  picture_cache_.FreeAllPictures();
  HTMLTextChanged();
}

std::string THTMLabel::GetHTMLSource() const {
  std::string source;
  for (std::size_t i = 0; i < html_text_.Count(); ++i)
    source += html_text_.Get(i);
  return source;
}

void THTMLabel::HTMLTextChanged() {
  Invalidate();
}

bool THTMLabel::RenderHTML(DrawingSurface& surface, std::string_view markup,
                           const DrawHtmlArgs& args, DrawHtmlResults& results) {
  DrawHtmlArgs own = args;
  own.FocusIndex = -1;
  own.WrapWords = !look_.ellipsis;
  own.ImageList = images_;
  own.PictureCache = &picture_cache_;
  own.PictureContainer = picture_container_;
  return DrawHTML(surface, markup, own, results);
}

void THTMLabel::SetURLColor(htmlabel::Color color) {
  if (color == look_.url_color) return;
  look_.url_color = color;
  Invalidate();
}

void THTMLabel::SetHover(bool value) {
  look_.hover = value;
  Invalidate();
}

void THTMLabel::SetHoverColor(htmlabel::Color color) {
  look_.hover_color = color;
  Invalidate();
}

void THTMLabel::SetHoverFontColor(htmlabel::Color color) {
  look_.hover_font_color = color;
  Invalidate();
}

void THTMLabel::SetShadowColor(htmlabel::Color color) {
  look_.shadow_color = color;
  Invalidate();
}

void THTMLabel::SetShadowOffset(int offset) {
  look_.shadow_offset = offset;
  Invalidate();
}

void THTMLabel::SetAutoSizing(bool value) {
  look_.auto_sizing = value;
  if (value) {
    if (look_.align == TAlign::alLeft || look_.align == TAlign::alRight)
      SetBounds(Left(), Top(), kAutoSizingStart, Height());
    if (look_.align == TAlign::alTop || look_.align == TAlign::alBottom)
      SetBounds(Left(), Top(), Width(), kAutoSizingStart);
  }
  Invalidate();
}

void THTMLabel::SetAutoSizeType(TAutoSizeType type) {
  look_.auto_size_type = type;
  SetAutoSizing(look_.auto_sizing);
}

void THTMLabel::SetVAlignment(TVAlignment alignment) {
  if (alignment == look_.valignment) return;
  look_.valignment = alignment;
  Invalidate();
}

void THTMLabel::SetEllipsis(bool value) {
  if (value == look_.ellipsis) return;
  look_.ellipsis = value;
  Invalidate();
}

void THTMLabel::SetBevelInner(TBevelCut cut) {
  look_.bevel_inner = cut;
  Invalidate();
}

void THTMLabel::SetBevelOuter(TBevelCut cut) {
  look_.bevel_outer = cut;
  Invalidate();
}

void THTMLabel::SetBevelWidth(int width) {
  look_.bevel_width = width;
  Invalidate();
}

void THTMLabel::SetBorderWidth(int width) {
  look_.border_width = width;
  Invalidate();
}

void THTMLabel::SetBorderStyle(TLabelBorderStyle style) {
  look_.border_style = style;
  Invalidate();
}

void THTMLabel::SetAlign(TAlign align) {
  look_.align = align;
  Invalidate();
}

htmlabel::Font THTMLabel::SurfaceFont() {
  htmlabel::Font font;
  font.name = Font().Name();
  const int height = Font().Height();
  font.size = MulDiv(height < 0 ? -height : height, 72, 96);
  font.color = Font().Color();
  font.style = Font().Style();
  font.charset = Font().Charset();
  return font;
}

LabelLook THTMLabel::Look() {
  LabelLook look = look_;
  look.color = Color();
  look.transparent = Transparent();
  return look;
}

void THTMLabel::Paint(fw::TCanvas& canvas) {
  SetCaption(std::string());
  POINT mouse{-1, -1};
  if (Parent() && Parent()->HandleAllocated() && GetCursorPos(&mouse)) {
    ScreenToClient(Parent()->Handle(), &mouse);
    mouse.x -= Left();
    mouse.y -= Top();
  }
  LabelPaintResult result;
  {
    GdiSurface surface(canvas.Handle(), SurfaceFont(), Color());
    result = PaintLabel(
        surface, Look(), GetHTMLSource(), Width(), Height(), Point{mouse.x, mouse.y},
        tracker_.HoverIndex(),
        [this](DrawingSurface& s, std::string_view markup, const DrawHtmlArgs& args,
               DrawHtmlResults& results) { return RenderHTML(s, markup, args, results); });
  }
  if (result.new_width != Width() || result.new_height != Height())
    SetBounds(Left(), Top(), result.new_width, result.new_height);
}

std::string THTMLabel::AnchorAt(int x, int y, Rect* box) {
  *box = Rect{-1, -1, -1, -1};
  tracker_.SetHoverIndex(-1);
  fw::WindowDcScope dc(Parent() && Parent()->HandleAllocated() ? Parent()->Handle() : nullptr);
  if (!dc.Dc()) return std::string();
  GdiSurface surface(dc.Dc(), SurfaceFont(), Color());
  const AnchorHit hit = htmlabel::AnchorAt(
      surface, Look(), GetHTMLSource(), Width(), Height(), x, y,
      [this](DrawingSurface& s, std::string_view markup, const DrawHtmlArgs& args,
             DrawHtmlResults& results) { return RenderHTML(s, markup, args, results); });
  tracker_.SetHoverIndex(hit.index);
  *box = hit.box;
  return hit.target;
}

void THTMLabel::InvalidateBox(const Rect& box) {
  if (box.right <= box.left || box.bottom <= box.top) return;
  InvalidateRect(RECT{box.left, box.top, box.right, box.bottom});
}

void THTMLabel::Apply(const HoverActions& actions) {
  if (actions.debug_number) WriteHoverDebugLine(*actions.debug_number);
  if (actions.cancel_hint && fw::Application) fw::Application->CancelHint();
  if (actions.hand_cursor)
    SetCursor(*actions.hand_cursor ? fw::TCursor::crHandPoint : fw::TCursor::crDefault);
  if (actions.raise_enter && OnAnchorEnter) OnAnchorEnter(this, actions.anchor);
  if (actions.raise_exit && OnAnchorExit) OnAnchorExit(this, std::string());
  for (const Rect& box : actions.invalidate)
    InvalidateBox(box);
  if (actions.repaint) Invalidate();
}

void THTMLabel::MouseMove(unsigned keys, int x, int y) {
  fw::TLabel::MouseMove(keys, x, y);
  AnchorHit hit;
  hit.target = AnchorAt(x, y, &hit.box);
  hit.index = tracker_.HoverIndex();
  Apply(tracker_.MouseMove(hit, Cursor() == fw::TCursor::crDefault,
                           Cursor() == fw::TCursor::crHandPoint, look_.hover, anchor_hint_));
}

void THTMLabel::MouseDown(fw::TMouseButton button, unsigned keys, int x, int y) {
  fw::TLabel::MouseDown(button, keys, x, y);
  Rect box;
  const std::string anchor = AnchorAt(x, y, &box);
  switch (ClickActionFor(anchor)) {
    case AnchorClickAction::kOpenWithShell:
      ShellExecuteA(nullptr, "open", anchor.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    case AnchorClickAction::kRaiseEvent:
      if (OnAnchorClick) OnAnchorClick(this, anchor);
      break;
    case AnchorClickAction::kNothing:
      break;
  }
}

void THTMLabel::MouseLeave() {
  Apply(tracker_.MouseLeave(look_.hover));
  fw::TLabel::MouseLeave();
}

int THTMLabel::HintShow(fw::THintInfo& info) {
  bool on_anchor = false;
  if (anchor_hint_) {
    Rect box;
    std::string anchor = AnchorAt(info.cursor_pos.x, info.cursor_pos.y, &box);
    if (!anchor.empty()) {
      on_anchor = true;
      if (OnAnchorHint) OnAnchorHint(this, anchor);
      POINT screen{info.cursor_pos.x + Left(), info.cursor_pos.y + Top()};
      if (Parent() && Parent()->HandleAllocated()) ClientToScreen(Parent()->Handle(), &screen);
      info.hint_pos = POINT{screen.x + 10, screen.y - 10};
      info.hint_str = std::move(anchor);
    }
  }
  if (hint_show_full_ && !on_anchor) {
    const std::string markup = GetHTMLSource();
    info.hint_str = html_hint_ ? markup : HintPlainText(markup);
  }
  return 0;
}

bool THTMLabel::SetProperty(std::string_view name, const fw::PropertyValue& value) {
  bool flag;
  int number;
  htmlabel::Color color;
  std::string text;
  if (name == "HTMLText" && fw::ValueAsString(value, &text)) return SetHTMLText(text), true;
  if (name == "URLColor" && ValueAsColor(value, &color)) return SetURLColor(color), true;
  if (name == "HoverColor" && ValueAsColor(value, &color)) return SetHoverColor(color), true;
  if (name == "HoverFontColor" && ValueAsColor(value, &color))
    return SetHoverFontColor(color), true;
  if (name == "ShadowColor" && ValueAsColor(value, &color)) return SetShadowColor(color), true;
  if (name == "ShadowOffset" && fw::ValueAsInteger(value, &number))
    return SetShadowOffset(number), true;
  if (name == "Hover" && fw::ValueAsBoolean(value, &flag)) return SetHover(flag), true;
  if (name == "AnchorHint" && fw::ValueAsBoolean(value, &flag)) return SetAnchorHint(flag), true;
  if (name == "HintShowFull" && fw::ValueAsBoolean(value, &flag))
    return SetHintShowFull(flag), true;
  if (name == "HTMLHint" && fw::ValueAsBoolean(value, &flag)) return SetHTMLHint(flag), true;
  if (name == "AutoSizing" && fw::ValueAsBoolean(value, &flag)) return SetAutoSizing(flag), true;
  if (name == "Ellipsis" && fw::ValueAsBoolean(value, &flag)) return SetEllipsis(flag), true;
  if (name == "BevelWidth" && fw::ValueAsInteger(value, &number) && number >= 1)
    return SetBevelWidth(number), true;
  if (name == "BorderWidth" && fw::ValueAsInteger(value, &number) && number >= 0)
    return SetBorderWidth(number), true;
  if (name == "PictureContainer" && value.kind == fw::PropertyValue::Kind::kIdentifier) {
    picture_container_name_ = value.text;
    return true;
  }
  int index;
  if (name == "AutoSizeType" && (index = IdentifierIndex(value, kAutoSizeTypes)) >= 0)
    return SetAutoSizeType(static_cast<TAutoSizeType>(index)), true;
  if (name == "VAlignment" && (index = IdentifierIndex(value, kVAlignments)) >= 0)
    return SetVAlignment(static_cast<TVAlignment>(index)), true;
  if (name == "BevelInner" && (index = IdentifierIndex(value, kBevelCuts)) >= 0)
    return SetBevelInner(static_cast<TBevelCut>(index)), true;
  if (name == "BevelOuter" && (index = IdentifierIndex(value, kBevelCuts)) >= 0)
    return SetBevelOuter(static_cast<TBevelCut>(index)), true;
  if (name == "BorderStyle" && (index = IdentifierIndex(value, kBorderStyles)) >= 0)
    return SetBorderStyle(static_cast<TLabelBorderStyle>(index)), true;
  if (name == "Align" && (index = IdentifierIndex(value, kAligns)) >= 0)
    return SetAlign(static_cast<TAlign>(index)), true;
  static constexpr std::string_view kOwn[] = {
      "HTMLText",     "URLColor",   "HoverColor", "HoverFontColor", "ShadowColor",
      "ShadowOffset", "Hover",      "AnchorHint", "HintShowFull",   "HTMLHint",
      "AutoSizing",   "Ellipsis",   "BevelWidth", "BorderWidth",    "AutoSizeType",
      "VAlignment",   "BevelInner", "BevelOuter", "BorderStyle",    "Align"};
  for (std::string_view own : kOwn) {
    if (name == own) return false;  // a value of the wrong kind or range
  }
  return fw::TLabel::SetProperty(name, value);
}

}  // namespace htmlabel
