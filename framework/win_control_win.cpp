#include <algorithm>

#include "framework/exception.h"
#include "framework/guard.h"
#include "framework/win_control.h"

namespace fw {

namespace {

// Our window classes are registered once each, on first use.
void RegisterOwnClass(const std::string& name) {
  WNDCLASSA existing{};
  if (GetClassInfoA(GetModuleHandleA(nullptr), name.c_str(), &existing)) return;
  WNDCLASSA window_class{};
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = ControlWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.lpszClassName = name.c_str();
  RegisterClassA(&window_class);
}

}  // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // The owned components go while this object is still whole; controls owned
  // elsewhere only lose their parent.
  DestroyComponents();
  for (TControl* control : controls_)
    control->parent_ = nullptr;
  controls_.clear();
  DestroyHandle();
}

TWinControl* TWinControl::FromHandle(HWND window) {
  if (!window) return nullptr;
  // Only windows whose procedure is ours carry a control pointer.
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != ControlWindowProc)
    return nullptr;
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

void TWinControl::CreateParams(TCreateParams* params) {
  params->window_class = ClassName();
  params->caption = Caption();
  params->style = WS_CHILD | WS_CLIPSIBLINGS | (Visible() ? WS_VISIBLE : 0) |
                  (Enabled() ? 0 : WS_DISABLED) | (tab_stop_ ? WS_TABSTOP : 0);
  params->x = Left();
  params->y = Top();
  params->width = Width();
  params->height = Height();
  params->parent = Parent() ? Parent()->Handle() : nullptr;
}

void TWinControl::CreateHandle() {
  TCreateParams params;
  CreateParams(&params);
  if (!params.system_class) RegisterOwnClass(params.window_class);
  HWND window =
      CreateWindowExA(params.ex_style, params.window_class.c_str(), params.caption.c_str(),
                      params.style, params.x, params.y, params.width, params.height, params.parent,
                      nullptr, GetModuleHandleA(nullptr), this);
  if (!window) throw Exception("Cannot create a window of class " + params.window_class);
  if (params.system_class) {
    // Subclassed: the system class's procedure becomes our default handler.
    handle_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    default_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlWindowProc)));
  }
  ApplyFont();
  HandleCreated();
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) child->Handle();
  }
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND window = handle_;
  DestroyWindow(window);
  handle_ = nullptr;
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam) {
  if (default_proc_) return CallWindowProcA(default_proc_, handle_, message, wparam, lparam);
  return DefWindowProcA(handle_, message, wparam, lparam);
}

LRESULT TWinControl::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && lparam) {
    if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lparam))) {
      // The control is the sender of whatever its notification raises.
      CallGuarded(child, [&] { child->Command(HIWORD(wparam)); });
      return 0;
    }
  }
  return DefaultHandler(message, wparam, lparam);
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
}

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TWinControl::SetTabOrder(int order) {
  tab_order_ = order;
}

std::vector<TWinControl*> TWinControl::TabList() const {
  std::vector<TWinControl*> list;
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) list.push_back(child);
  }
  // Unordered controls (-1) follow the ordered ones in creation order.
  std::stable_sort(list.begin(), list.end(), [](TWinControl* a, TWinControl* b) {
    const unsigned order_a = static_cast<unsigned>(a->tab_order_);
    const unsigned order_b = static_cast<unsigned>(b->tab_order_);
    return order_a < order_b;
  });
  return list;
}

void TWinControl::SetFocus() {
  ::SetFocus(Handle());
}

bool TWinControl::Focused() const {
  return handle_ && GetFocus() == handle_;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  if (handle_) MoveWindow(handle_, Left(), Top(), Width(), Height(), TRUE);
}

void TWinControl::SetVisible(bool visible) {
  TControl::SetVisible(visible);
  if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  TControl::SetEnabled(enabled);
  if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::FontChanged() {
  ApplyFont();
  for (TControl* control : controls_)
    control->ParentFontChanged(Font());
  Invalidate();
}

void TWinControl::ApplyFont() {
  if (!handle_) return;
  GdiObject font = CreateGdiFont(Font());
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  // The window now uses the new font; the old one may go.
  font_object_ = std::move(font);
}

void TWinControl::CaptionChanged() {
  if (handle_) SetWindowTextA(handle_, Caption().c_str());
}

bool TWinControl::SetProperty(std::string_view name, const PropertyValue& value) {
  int number;
  bool flag;
  if (name == "TabOrder" && ValueAsInteger(value, &number) && number >= 0) {
    SetTabOrder(number);
    return true;
  }
  if (name == "TabStop" && ValueAsBoolean(value, &flag)) return SetTabStop(flag), true;
  return TControl::SetProperty(name, value);
}

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* control = reinterpret_cast<TWinControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!control && message == WM_NCCREATE) {
    control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    control->handle_ = window;
  }
  if (!control) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    const LRESULT result = control->DefaultHandler(message, wparam, lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (control->default_proc_)
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->default_proc_));
    control->handle_ = nullptr;
    control->default_proc_ = nullptr;
    return result;
  }
  LRESULT result = 0;
  CallGuarded(control, [&] { result = control->WndProc(message, wparam, lparam); });
  return result;
}

}  // namespace fw
