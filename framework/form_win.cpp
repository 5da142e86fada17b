#include "framework/form.h"

#include <windowsx.h>

#include "framework/application.h"
#include "framework/button.h"
#include "framework/description_loader.h"
#include "framework/exception.h"
#include "framework/graphic_control.h"
#include "framework/resource.h"

namespace fw {

namespace {

// Collects a thread's windows; allocates, so it catches at its boundary.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  try {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

// The button a mouse button message is about.
TMouseButton ButtonOf(UINT message) {
  switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return TMouseButton::mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return TMouseButton::mbMiddle;
    default:
      return TMouseButton::mbLeft;
  }
}

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetColor(clBtnFace);
}

TForm::~TForm() {
  // The owned components go while this object is still a form, so that
  // graphic controls can still find it.
  DestroyComponents();
  if (Application && Application->MainForm() == this) Application->FormGone(this);
}

void TForm::LoadFromResource(const char* resource_name) {
  const ResourceBytes bytes = FindResourceBytes(resource_name);
  if (!bytes.data) throw EReadError(std::string("Resource ") + resource_name + " not found");
  LoadDescriptionText(this,
                      std::string_view(reinterpret_cast<const char*>(bytes.data), bytes.size));
}

void TForm::Loaded() {
  Handle();
}

void TForm::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
  if (HandleAllocated()) {
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, GetWindowLongA(Handle(), GWL_STYLE), FALSE,
                       GetWindowLongA(Handle(), GWL_EXSTYLE));
    SetWindowPos(Handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params->ex_style = 0;
  switch (border_style_) {
    case TFormBorderStyle::bsNone:
      params->style |= WS_POPUP;
      break;
    case TFormBorderStyle::bsSingle:
      params->style |= WS_CAPTION;
      break;
    case TFormBorderStyle::bsSizeable:
      params->style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case TFormBorderStyle::bsDialog:
      params->style |= WS_CAPTION;
      params->ex_style |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (border_style_ != TFormBorderStyle::bsNone && (border_icons_ & biSystemMenu)) {
    params->style |= WS_SYSMENU;
    if (border_style_ != TFormBorderStyle::bsDialog) {
      if (border_icons_ & biMinimize) params->style |= WS_MINIMIZEBOX;
      if (border_icons_ & biMaximize) params->style |= WS_MAXIMIZEBOX;
    }
  }
  RECT outer{0, 0, client_width_, client_height_};
  AdjustWindowRectEx(&outer, params->style, FALSE, params->ex_style);
  params->width = outer.right - outer.left;
  params->height = outer.bottom - outer.top;
  if (position_ == TPosition::poScreenCenter) {
    params->x = (GetSystemMetrics(SM_CXSCREEN) - params->width) / 2;
    params->y = (GetSystemMetrics(SM_CYSCREEN) - params->height) / 2;
  }
  params->parent = Application ? Application->Handle() : nullptr;
}

void TForm::Show() {
  SetVisible(true);
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(Handle());
  if (!active_control_) {
    for (TWinControl* control : TabList()) {
      if (control->TabStop() && control->Visible() && control->Enabled()) {
        active_control_ = control;
        break;
      }
    }
  }
  if (active_control_) active_control_->SetFocus();
  if (OnShow) OnShow(this);
}

void TForm::Hide() {
  SetVisible(false);
}

void TForm::Close() {
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    Hide();
  } else {
    if (modal_result_ == mrNone) modal_result_ = mrCancel;
    Hide();
  }
}

int TForm::ShowModal() {
  if (!Application) throw Exception("No application object");
  modal_result_ = mrNone;
  // The other top-level windows of the thread are disabled while it runs.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&disabled));
  std::vector<HWND> reenable;
  for (HWND window : disabled) {
    if (window != Handle() && IsWindowEnabled(window) && IsWindowVisible(window)) {
      EnableWindow(window, FALSE);
      reenable.push_back(window);
    }
  }
  Show();
  while (modal_result_ == mrNone && !Application->Terminated())
    Application->HandleMessage();
  for (HWND window : reenable)
    EnableWindow(window, TRUE);
  Hide();
  return modal_result_;
}

void TForm::SetActiveControl(TWinControl* control) {
  active_control_ = control;
  if (control && IsWindowVisible(Handle())) control->SetFocus();
}

void TForm::SelectNext(bool forward) {
  std::vector<TWinControl*> stops;
  for (TWinControl* control : TabList()) {
    if (control->TabStop() && control->Visible() && control->Enabled()) stops.push_back(control);
  }
  if (stops.empty()) return;
  std::size_t index = 0;
  for (std::size_t i = 0; i < stops.size(); ++i) {
    if (stops[i]->Focused()) {
      index = forward ? (i + 1) % stops.size() : (i + stops.size() - 1) % stops.size();
      break;
    }
  }
  SetActiveControl(stops[index]);
}

bool TForm::DialogKey(WPARAM key) {
  if (key == VK_TAB) {
    SelectNext((GetKeyState(VK_SHIFT) & 0x8000) == 0);
    return true;
  }
  if (key != VK_RETURN && key != VK_ESCAPE) return false;
  TButton* target = nullptr;
  if (key == VK_RETURN) {
    target = dynamic_cast<TButton*>(FromHandle(GetFocus()));
    if (target && target->ParentForm() != this) target = nullptr;
  }
  if (!target) {
    for (TComponent* component : Components()) {
      auto* button = dynamic_cast<TButton*>(component);
      if (button && button->Visible() && button->Enabled() &&
          (key == VK_RETURN ? button->Default() : button->Cancel())) {
        target = button;
        break;
      }
    }
  }
  if (!target) return false;
  target->Click();
  return true;
}

void TForm::ControlGone(TGraphicControl* control) {
  if (hovered_ == control) hovered_ = nullptr;
  if (captured_ == control) captured_ = nullptr;
}

TGraphicControl* TForm::GraphicControlAt(int x, int y) const {
  const auto& controls = Controls();
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    auto* graphic = dynamic_cast<TGraphicControl*>(*it);
    if (!graphic || !graphic->Visible() || !graphic->Enabled()) continue;
    const RECT r = graphic->BoundsRect();
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return graphic;
  }
  return nullptr;
}

void TForm::PaintControls(HDC dc, const RECT& area) {
  for (TControl* control : Controls()) {
    auto* graphic = dynamic_cast<TGraphicControl*>(control);
    if (!graphic || !graphic->Visible()) continue;
    const RECT bounds = graphic->BoundsRect();
    RECT overlap;
    if (!IntersectRect(&overlap, &bounds, &area)) continue;
    SavedDcScope saved(dc);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SetViewportOrgEx(dc, bounds.left, bounds.top, nullptr);
    TCanvas canvas(dc);
    graphic->Paint(canvas);
  }
}

void TForm::UpdateHover(int x, int y) {
  TGraphicControl* now = GraphicControlAt(x, y);
  if (now == hovered_) return;
  TGraphicControl* before = hovered_;
  hovered_ = now;
  if (before) before->MouseLeave();
  if (now) {
    now->MouseEnter();
    AskHint(now, x, y);
  } else if (Application) {
    Application->SetHint(std::string());
  }
  if (now && !tracking_) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
    tracking_ = TrackMouseEvent(&track) != FALSE;
  }
}

void TForm::AskHint(TGraphicControl* control, int x, int y) {
  if (!Application) return;
  if (!control->ShowHint()) {
    Application->SetHint(std::string());
    return;
  }
  THintInfo info;
  info.hint_str = control->Hint();
  info.cursor_pos = POINT{x - control->Left(), y - control->Top()};
  info.hint_pos = POINT{x, y};
  ClientToScreen(Handle(), &info.hint_pos);
  if (control->HintShow(info) != 0) {
    Application->SetHint(std::string());
    return;
  }
  Application->SetHintPos(info.hint_pos);
  Application->SetHint(std::move(info.hint_str));
}

LRESULT TForm::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(Handle(), &client);
      TCanvas canvas(reinterpret_cast<HDC>(wparam));
      canvas.SetBrushColor(Color());
      canvas.FillRect(client);
      return 1;
    }
    case WM_PAINT: {
      PaintScope paint(Handle());
      PaintControls(paint.Dc(), paint.Area());
      return 0;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: {
      // Buttons draw their corners in the form's colour.
      static GdiObject brush;
      static TColor brush_color = clNone;
      if (brush_color != Color() || !brush.Get()) {
        brush.Reset(CreateSolidBrush(ColorToRGB(Color())));
        brush_color = Color();
      }
      return reinterpret_cast<LRESULT>(brush.Get());
    }
    case WM_MOUSEMOVE: {
      const int x = GET_X_LPARAM(lparam);
      const int y = GET_Y_LPARAM(lparam);
      UpdateHover(x, y);
      TGraphicControl* target = captured_ ? captured_ : hovered_;
      if (target) {
        const TCursor before = target->Cursor();
        target->MouseMove(static_cast<unsigned>(wparam), x - target->Left(), y - target->Top());
        // A cursor changed by the move shows at once, not at the next move.
        if (hovered_ == target && target->Cursor() != before)
          ::SetCursor(CursorHandle(target->Cursor()));
      }
      if (hovered_ && Application && Application->TakeHintCancel()) AskHint(hovered_, x, y);
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (hovered_) {
        TGraphicControl* before = hovered_;
        hovered_ = nullptr;
        before->MouseLeave();
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      const int x = GET_X_LPARAM(lparam);
      const int y = GET_Y_LPARAM(lparam);
      if (TGraphicControl* target = GraphicControlAt(x, y)) {
        captured_ = target;
        SetCapture(Handle());
        target->MouseDown(ButtonOf(message), static_cast<unsigned>(wparam), x - target->Left(),
                          y - target->Top());
      }
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const int x = GET_X_LPARAM(lparam);
      const int y = GET_Y_LPARAM(lparam);
      TGraphicControl* target = captured_;
      captured_ = nullptr;
      if (GetCapture() == Handle()) ReleaseCapture();
      if (target) {
        const RECT r = target->BoundsRect();
        target->MouseUp(ButtonOf(message), static_cast<unsigned>(wparam), x - target->Left(),
                        y - target->Top());
        if (message == WM_LBUTTONUP && x >= r.left && x < r.right && y >= r.top && y < r.bottom)
          target->Click();
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT && hovered_ && hovered_->Cursor() != TCursor::crDefault) {
        ::SetCursor(CursorHandle(hovered_->Cursor()));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && active_control_ && active_control_->Visible()) {
        active_control_->SetFocus();
        return 0;
      }
      break;
    case WM_CLOSE:
      Close();
      return 0;
    default:
      break;
  }
  return TWinControl::WndProc(message, wparam, lparam);
}

bool TForm::SetProperty(std::string_view name, const PropertyValue& value) {
  int number;
  bool flag;
  if (name == "ClientWidth" && ValueAsInteger(value, &number) && number >= 0 && number <= 32767) {
    SetClientSize(number, client_height_);
    return true;
  }
  if (name == "ClientHeight" && ValueAsInteger(value, &number) && number >= 0 && number <= 32767) {
    SetClientSize(client_width_, number);
    return true;
  }
  if (name == "BorderStyle" && value.kind == PropertyValue::Kind::kIdentifier) {
    if (value.text == "bsNone") return border_style_ = TFormBorderStyle::bsNone, true;
    if (value.text == "bsSingle") return border_style_ = TFormBorderStyle::bsSingle, true;
    if (value.text == "bsSizeable") return border_style_ = TFormBorderStyle::bsSizeable, true;
    if (value.text == "bsDialog") return border_style_ = TFormBorderStyle::bsDialog, true;
    return false;
  }
  if (name == "BorderIcons" && value.kind == PropertyValue::Kind::kSet) {
    unsigned icons = 0;
    for (const std::string& icon : value.set) {
      if (icon == "biSystemMenu") {
        icons |= biSystemMenu;
      } else if (icon == "biMinimize") {
        icons |= biMinimize;
      } else if (icon == "biMaximize") {
        icons |= biMaximize;
      } else {
        return false;
      }
    }
    border_icons_ = icons;
    return true;
  }
  if (name == "Position" && value.kind == PropertyValue::Kind::kIdentifier) {
    if (value.text == "poDesigned") return position_ = TPosition::poDesigned, true;
    if (value.text == "poScreenCenter") return position_ = TPosition::poScreenCenter, true;
    return false;
  }
  // The layout is in pixels and never scaled: Scaled is kept only as a record.
  if (name == "Scaled" && ValueAsBoolean(value, &flag)) return scaled_ = flag, true;
  if (name == "PixelsPerInch" && ValueAsInteger(value, &number)) return number == 96;
  return TWinControl::SetProperty(name, value);
}

}  // namespace fw
