// Controls: components with a position and size on a parent window, a font,
// a colour, a hint, a cursor and mouse events.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/color.h"
#include "framework/component.h"
#include "framework/font.h"

namespace fw {

class TWinControl;
class TForm;

// Which mouse button an event is about.
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A mouse button event: sender, button, MK_ key state, client coordinates.
using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, unsigned keys, int x, int y)>;
// A mouse move event: sender, MK_ key state, client coordinates.
using TMouseMoveEvent = std::function<void(TObject* sender, unsigned keys, int x, int y)>;

// Cursor identifiers as descriptions name them.
enum class TCursor { crDefault, crArrow, crHandPoint, crIBeam };

// What a control is asked when its hint is about to be shown.
struct THintInfo {
  std::string hint_str;  // the hint text; starts as the control's Hint
  POINT cursor_pos{};    // the mouse position in the control's coordinates
  POINT hint_pos{};      // where the hint goes, in screen coordinates
};

// A visible element placed on a parent window.
class TControl : public TComponent {
 public:
  // Raised by a click (mouse or keyboard).
  TNotifyEvent OnClick;
  // Raised when a mouse button goes down over the control.
  TMouseEvent OnMouseDown;
  // Raised when the mouse moves over the control.
  TMouseMoveEvent OnMouseMove;
  // Raised when a mouse button goes up over the control.
  TMouseEvent OnMouseUp;
  // Raised when the mouse enters the control.
  TNotifyEvent OnMouseEnter;
  // Raised when the mouse leaves the control.
  TNotifyEvent OnMouseLeave;

  // A control owned by owner, without a parent yet.
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // "TControl".
  std::string ClassName() const override { return "TControl"; }
  // Left, Top, Width, Height, Visible, Enabled, Caption, Color, ParentColor,
  // Font.*, ParentFont, Hint, ShowHint, Cursor, OnClick, OnMouseEnter,
  // OnMouseLeave.
  bool SetProperty(std::string_view name, const PropertyValue& value) override;
  // Parents the control on a window control.
  void SetParentComponent(TComponent* parent) override;

  // The parent window control, or null.
  TWinControl* Parent() const { return parent_; }
  // Moves the control into parent's list of children (null: takes it out).
  virtual void SetParent(TWinControl* parent);
  // The form the control sits on (itself for a form), or null.
  TForm* ParentForm();

  // Position and size in the parent's client coordinates.
  int Left() const { return left_; }
  // The top edge.
  int Top() const { return top_; }
  // The width.
  int Width() const { return width_; }
  // The height.
  int Height() const { return height_; }
  // The bounds as a rectangle in the parent's client coordinates.
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  // Moves and sizes the control.
  virtual void SetBounds(int left, int top, int width, int height);

  // True when the control is shown (with its parent).
  bool Visible() const { return visible_; }
  // Shows or hides the control.
  virtual void SetVisible(bool visible);
  // True when the control takes input.
  bool Enabled() const { return enabled_; }
  // Enables or disables input.
  virtual void SetEnabled(bool enabled);
  // The caption or text.
  const std::string& Caption() const { return caption_; }
  // Sets the caption.
  virtual void SetCaption(std::string caption);
  // The background colour.
  TColor Color() const { return color_; }
  // Sets the background colour (and stops following the parent's).
  void SetColor(TColor color);
  // The font.
  TFont& Font() { return font_; }
  // True while the font follows the parent's font.
  bool ParentFont() const { return parent_font_; }
  // Follows the parent's font (true) or keeps its own.
  void SetParentFont(bool value);
  // The hint text shown while the mouse rests on the control.
  const std::string& Hint() const { return hint_; }
  // Sets the hint text.
  void SetHint(std::string hint) { hint_ = std::move(hint); }
  // True when the hint is shown.
  bool ShowHint() const { return show_hint_; }
  // Shows or suppresses the hint.
  void SetShowHint(bool value) { show_hint_ = value; }
  // The mouse cursor over the control.
  TCursor Cursor() const { return cursor_; }
  // Sets the mouse cursor.
  void SetCursor(TCursor cursor) { cursor_ = cursor; }

  // Raises OnClick.
  virtual void Click();
  // Repaints the control.
  virtual void Invalidate() = 0;

  // Mouse input, in the control's client coordinates; the defaults raise the events.
  virtual void MouseDown(TMouseButton button, unsigned keys, int x, int y);
  // The mouse moved over the control.
  virtual void MouseMove(unsigned keys, int x, int y);
  // A mouse button went up over the control.
  virtual void MouseUp(TMouseButton button, unsigned keys, int x, int y);
  // The mouse entered the control.
  virtual void MouseEnter();
  // The mouse left the control.
  virtual void MouseLeave();
  // The hint is about to be shown: the control may change its text and
  // position; a result other than 0 suppresses it.
  virtual int HintShow(THintInfo& info);

  // Called when the parent's font changed (follows it when ParentFont).
  void ParentFontChanged(const TFont& parent_font);
  // Called when the parent's colour changed (follows it when ParentColor).
  void ParentColorChanged(TColor parent_color);

 protected:
  // Called after the font changed.
  virtual void FontChanged() { Invalidate(); }
  // Called after the caption changed.
  virtual void CaptionChanged() { Invalidate(); }

 private:
  friend class TWinControl;

  TWinControl* parent_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;
  TColor color_ = clBtnFace;
  bool parent_color_ = true;
  TFont font_;
  bool parent_font_ = true;
  bool following_parent_ = false;
  std::string hint_;
  bool show_hint_ = false;
  TCursor cursor_ = TCursor::crDefault;
};

// The system cursor for a cursor identifier.
HCURSOR CursorHandle(TCursor cursor);

}  // namespace fw
