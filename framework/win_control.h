// Window controls: controls with a window of their own, which parent other
// controls and receive the window's messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/canvas.h"
#include "framework/control.h"

namespace fw {

class TGraphicControl;

// What CreateWindowExA receives for a control's window.
struct TCreateParams {
  std::string window_class;   // a system class ("BUTTON") or our own registered one
  bool system_class = false;  // true: a system class, subclassed after creation
  std::string caption;        // the window text
  DWORD style = 0;            // WS_ styles
  DWORD ex_style = 0;         // WS_EX_ styles
  int x = 0;                  // position (parent client or screen coordinates)
  int y = 0;                  // top edge
  int width = 0;              // outer width
  int height = 0;             // outer height
  HWND parent = nullptr;      // parent or owner window
};

// A control with a window. The window is created on demand and destroyed
// with the control; its messages go to WndProc inside a guarded boundary.
class TWinControl : public TControl {
 public:
  // A window control owned by owner.
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // "TWinControl".
  std::string ClassName() const override { return "TWinControl"; }
  // TabOrder, TabStop and the properties of TControl.
  bool SetProperty(std::string_view name, const PropertyValue& value) override;

  // The window handle, creating the window (and its parents') when needed.
  HWND Handle();
  // True once the window exists.
  bool HandleAllocated() const { return handle_ != nullptr; }
  // The control that owns a window of ours, or null.
  static TWinControl* FromHandle(HWND window);

  // The child controls in creation order (which is also drawing order).
  const std::vector<TControl*>& Controls() const { return controls_; }
  // Adds a child (called by TControl::SetParent).
  void InsertControl(TControl* control);
  // Removes a child (called by TControl::SetParent).
  void RemoveControl(TControl* control);

  // The position among the parent's tab stops (0 first).
  int TabOrder() const { return tab_order_; }
  // Sets the position among the parent's tab stops.
  void SetTabOrder(int order);
  // True when Tab stops at this control.
  bool TabStop() const { return tab_stop_; }
  // Includes or excludes the control from tabbing.
  void SetTabStop(bool value) { tab_stop_ = value; }
  // The window children that Tab visits, in tab order.
  std::vector<TWinControl*> TabList() const;
  // Gives the window the keyboard focus.
  void SetFocus();
  // True when the window has the keyboard focus.
  bool Focused() const;

  // Moves and sizes the window too.
  void SetBounds(int left, int top, int width, int height) override;
  // Shows or hides the window too.
  void SetVisible(bool visible) override;
  // Enables or disables the window too.
  void SetEnabled(bool enabled) override;
  // Repaints the window.
  void Invalidate() override;

  // Handles one message of the window; the default passes it on.
  virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
  // Handles a WM_COMMAND notification sent to the parent about this control.
  virtual void Command(WORD /*notification*/) {}
  // A key that moves between controls or presses buttons (Enter, Escape,
  // Tab) arrived for this control or one of its children; true when handled.
  virtual bool DialogKey(WPARAM /*key*/) { return false; }

 protected:
  // Fills in the window's creation parameters.
  virtual void CreateParams(TCreateParams* params);
  // Creates the window and then those of the children.
  virtual void CreateHandle();
  // Called once the window exists.
  virtual void HandleCreated() {}
  // Passes a message to the window class's own procedure.
  LRESULT DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam);
  // Sends the font to the window.
  void FontChanged() override;
  // Sets the window text.
  void CaptionChanged() override;
  // Destroys the window (children first, by the system).
  void DestroyHandle();

 private:
  friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
  void ApplyFont();

  HWND handle_ = nullptr;
  WNDPROC default_proc_ = nullptr;
  GdiObject font_object_;
  std::vector<TControl*> controls_;
  int tab_order_ = -1;
  bool tab_stop_ = false;
};

// The window procedure of all our windows (also of subclassed system ones).
LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace fw
