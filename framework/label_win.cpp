#include "framework/label.h"

namespace fw {

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
}

UINT TLabel::TextFlags() const {
  return DT_LEFT | DT_EXPANDTABS | (word_wrap_ ? DT_WORDBREAK : 0) |
         (show_accel_char_ ? 0 : DT_NOPREFIX);
}

void TLabel::AdjustBounds() {
  if (!auto_size_ || loading_) return;
  WindowDcScope screen(nullptr);
  if (!screen.Dc()) return;
  TCanvas canvas(screen.Dc());
  canvas.Font().Assign(Font());
  RECT rect{0, 0, word_wrap_ ? Width() : 0, 0};
  // An empty caption still measures one line.
  const std::string text = Caption().empty() ? std::string(" ") : Caption();
  canvas.DrawText(text, &rect, TextFlags() | DT_CALCRECT);
  SetBounds(Left(), Top(), word_wrap_ ? Width() : rect.right, rect.bottom);
}

void TLabel::Loaded() {
  loading_ = false;
  AdjustBounds();
}

void TLabel::SetAutoSize(bool value) {
  auto_size_ = value;
  AdjustBounds();
}

void TLabel::SetWordWrap(bool value) {
  word_wrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetTransparent(bool value) {
  transparent_ = value;
  Invalidate();
}

void TLabel::FontChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::CaptionChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::Paint(TCanvas& canvas) {
  RECT rect{0, 0, Width(), Height()};
  if (!transparent_) {
    canvas.SetBrushColor(Color());
    canvas.FillRect(rect);
  }
  canvas.Font().Assign(Font());
  canvas.DrawText(Caption(), &rect, TextFlags());
}

bool TLabel::SetProperty(std::string_view name, const PropertyValue& value) {
  bool flag;
  if (name == "AutoSize" && ValueAsBoolean(value, &flag)) return SetAutoSize(flag), true;
  if (name == "WordWrap" && ValueAsBoolean(value, &flag)) return SetWordWrap(flag), true;
  if (name == "Transparent" && ValueAsBoolean(value, &flag)) return SetTransparent(flag), true;
  if (name == "ShowAccelChar" && ValueAsBoolean(value, &flag)) {
    show_accel_char_ = flag;
    Invalidate();
    return true;
  }
  return TGraphicControl::SetProperty(name, value);
}

}  // namespace fw
