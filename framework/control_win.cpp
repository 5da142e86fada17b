#include "framework/control.h"

#include "framework/form.h"
#include "framework/win_control.h"

namespace fw {

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = [this](TObject*) {
    if (!following_parent_) parent_font_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  SetParent(nullptr);
}

void TControl::SetParentComponent(TComponent* parent) {
  SetParent(dynamic_cast<TWinControl*>(parent));
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    if (parent_font_) ParentFontChanged(parent_->Font());
    if (parent_color_) ParentColorChanged(parent_->Color());
  }
}

TForm* TControl::ParentForm() {
  TControl* control = this;
  while (control->parent_)
    control = control->parent_;
  return dynamic_cast<TForm*>(control);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
}

void TControl::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  CaptionChanged();
}

void TControl::SetColor(TColor color) {
  parent_color_ = false;
  if (color == color_) return;
  color_ = color;
  Invalidate();
  if (auto* window = dynamic_cast<TWinControl*>(this)) {
    for (TControl* child : window->Controls())
      child->ParentColorChanged(color_);
  }
}

void TControl::SetParentFont(bool value) {
  parent_font_ = value;
  if (value && parent_) ParentFontChanged(parent_->Font());
}

void TControl::ParentFontChanged(const TFont& parent_font) {
  if (!parent_font_) return;
  following_parent_ = true;
  font_.Assign(parent_font);
  following_parent_ = false;
}

void TControl::ParentColorChanged(TColor parent_color) {
  if (!parent_color_ || parent_color == color_) return;
  color_ = parent_color;
  Invalidate();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::MouseDown(TMouseButton button, unsigned keys, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, keys, x, y);
}

void TControl::MouseMove(unsigned keys, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, keys, x, y);
}

void TControl::MouseUp(TMouseButton button, unsigned keys, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, keys, x, y);
}

void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

int TControl::HintShow(THintInfo&) {
  return 0;
}

namespace {

bool SetEvent(TComponent* control, const PropertyValue& value, TNotifyEvent* event) {
  if (value.kind != PropertyValue::Kind::kIdentifier) return false;
  TNotifyEvent handler =
      control->Owner() ? control->Owner()->FindMethod(value.text) : control->FindMethod(value.text);
  if (!handler) return false;
  *event = std::move(handler);
  return true;
}

}  // namespace

bool TControl::SetProperty(std::string_view name, const PropertyValue& value) {
  int number;
  bool flag;
  std::string text;
  if (name == "Left" || name == "Top" || name == "Width" || name == "Height") {
    if (!ValueAsInteger(value, &number) || number < -32768 || number > 32767) return false;
    if (name == "Left") SetBounds(number, top_, width_, height_);
    if (name == "Top") SetBounds(left_, number, width_, height_);
    if (name == "Width") SetBounds(left_, top_, number, height_);
    if (name == "Height") SetBounds(left_, top_, width_, number);
    return true;
  }
  if (name == "Visible" && ValueAsBoolean(value, &flag)) return SetVisible(flag), true;
  if (name == "Enabled" && ValueAsBoolean(value, &flag)) return SetEnabled(flag), true;
  if (name == "Caption" && ValueAsString(value, &text)) return SetCaption(std::move(text)), true;
  if (name == "Hint" && ValueAsString(value, &text)) return SetHint(std::move(text)), true;
  if (name == "ShowHint" && ValueAsBoolean(value, &flag)) return SetShowHint(flag), true;
  if (name == "ParentFont" && ValueAsBoolean(value, &flag)) return SetParentFont(flag), true;
  if (name == "ParentColor" && ValueAsBoolean(value, &flag)) {
    parent_color_ = flag;
    if (flag && parent_) ParentColorChanged(parent_->Color());
    return true;
  }
  if (name == "Color") {
    TColor color;
    if (value.kind == PropertyValue::Kind::kInteger) {
      color = static_cast<TColor>(value.integer);
    } else if (value.kind != PropertyValue::Kind::kIdentifier ||
               !IdentToColor(value.text, &color)) {
      return false;
    }
    SetColor(color);
    return true;
  }
  if (name.substr(0, 5) == "Font.") return font_.SetProperty(name.substr(5), value);
  if (name == "Cursor" && value.kind == PropertyValue::Kind::kIdentifier) {
    if (value.text == "crDefault") return SetCursor(TCursor::crDefault), true;
    if (value.text == "crArrow") return SetCursor(TCursor::crArrow), true;
    if (value.text == "crHandPoint") return SetCursor(TCursor::crHandPoint), true;
    if (value.text == "crIBeam") return SetCursor(TCursor::crIBeam), true;
    return false;
  }
  if (name == "OnClick") return SetEvent(this, value, &OnClick);
  if (name == "OnMouseEnter") return SetEvent(this, value, &OnMouseEnter);
  if (name == "OnMouseLeave") return SetEvent(this, value, &OnMouseLeave);
  return TComponent::SetProperty(name, value);
}

HCURSOR CursorHandle(TCursor cursor) {
  switch (cursor) {
    case TCursor::crHandPoint:
      return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    case TCursor::crIBeam:
      return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_IBEAM));
    default:
      return LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  }
}

}  // namespace fw
