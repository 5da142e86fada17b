#include "crash/box/exception_box_win.h"

#include <algorithm>
#include <cstring>

#include "crash/crash_reporter.h"
#include "crash/delivery/program_folders_win.h"
#include "crash/delivery/report_actions_win.h"
#include "crash/win/restart_win.h"
#include "crash/win/watchdog_win.h"
#include "trace/text/ansi_text.h"

namespace crash {

namespace {

constexpr int kMail = 0, kSave = 1, kPrint = 2, kShow = 3, kContinue = 4, kRestart = 5, kClose = 6;
constexpr int kButtonHeight = 22;

// The picture names by action code (7: the disabled continue).
constexpr const char* kPictureNames[] = {"mail",     "save",    "print", "show",
                                         "continue", "restart", "close", "cantContinue"};

// Whole seconds since 1601-01-01 UTC, as the exception history counts.
uint64_t SecondsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000000;
}

// The module this code is linked into (the reporter's).
HMODULE ReporterModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(&ReporterModule), &module);
  return module;
}

// An icon of the reporter's module, else of the executable.
HICON LoadBoxIcon(const std::string& name, int side) {
  for (HMODULE module : {ReporterModule(), GetModuleHandleA(nullptr)}) {
    if (HANDLE icon = LoadImageA(module, name.c_str(), IMAGE_ICON, side, side, 0)) {
      return static_cast<HICON>(icon);
    }
  }
  return nullptr;
}

// The bytes of a bitmap resource of the reporter's module, else of the executable.
std::span<const uint8_t> BitmapResource(const std::string& name) {
  for (HMODULE module : {ReporterModule(), GetModuleHandleA(nullptr)}) {
    HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (!found) continue;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes) {
      return {static_cast<const uint8_t*>(bytes), SizeofResource(module, found)};
    }
  }
  return {};
}

// Line ends as the edit field needs them: every lone LF or CR becomes CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

// COLORREF of a system colour.
uint32_t System(int index) {
  return static_cast<uint32_t>(GetSysColor(index));
}

}  // namespace

TExceptionBox::TExceptionBox(const ActiveSettings& settings, bool frozen, bool can_continue,
                             std::string bug_report, uint32_t exception_address,
                             const ReportedException* exception)
    : thunk_(this, &TExceptionBox::Procedure),
      frozen_(frozen),
      exception_(exception),
      exception_address_(exception_address),
      bug_report_(std::move(bug_report)),
      can_continue_(can_continue),
      settings_(settings) {
  // 1. With the report shown at once there is no show button.
  box_settings_ = BoxSettings(settings);

  // 3. The class; it may exist already.
  const HMODULE module = ReporterModule();
  WNDCLASSA window_class{};
  window_class.style = 0xC0;
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = module;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kBoxWindowClass;
  RegisterClassA(&window_class);

  // 4. The caption.
  std::string title(settings.BoxTitle);
  trace::ReplaceAll(title, "%appname%", ExecutableFileName(), true, false);

  // 6. The fonts and the memory context, before the window: its size needs their measures.
  message_font_ =
      CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
  report_font_ =
      CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Courier New");
  memory_dc_ = CreateCompatibleDC(nullptr);
  if (!memory_dc_ || !thunk_.proc()) return;
  old_font_ = SelectObject(memory_dc_, message_font_);
  SetBkMode(memory_dc_, TRANSPARENT);

  // 7. The message.
  message_ = std::string(frozen ? settings.FrozenText : settings.ExceptionText);
  trace::ReplaceAll(message_, "%exceptMsg%", ExceptionMessageOf(exception) + ".", true, false);

  // 8, 10. The captions' widths; the big icon.
  for (int i = 0; i < kBoxButtons; ++i) {
    buttons_[i].caption = std::string(BoxCaption(box_settings_, i));
  }
  big_icon_ = LoadBoxIcon("ktiBigIcon", 32);
  BoxFacts facts = MeasureBoxFacts(box_settings_, memory_dc_, can_continue, big_icon_ != nullptr);
  for (int i = 0; i < kBoxButtons; ++i)
    buttons_[i].caption_width = facts.caption_widths[i];
  const uint64_t now = SecondsNow();
  facts.auto_close_holds = ReporterHistory().RuleHolds(settings.AutoClose, now);
  facts.auto_restart_holds = ReporterHistory().RuleHolds(settings.AutoRestart, now);

  // 2, 9, 11-18: the arrangement.
  layout_ = LayOutBox(box_settings_, facts, DrawTextMeasure(memory_dc_, message_));

  // 5. The window, its messages routed to this object.
  DWORD style = WS_CAPTION;
  if (layout_.system_menu) style |= WS_SYSMENU;
  window_ =
      CreateWindowExA(WS_EX_TOPMOST | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE, kBoxWindowClass,
                      title.c_str(), style, 0, 0, 100, 100, nullptr, nullptr, module, nullptr);
  if (!window_) return;
  SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(thunk_.proc()));

  // 8. The buttons' off-screen bitmap.
  HDC screen = GetDC(nullptr);
  bits_per_pixel_ = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  button_bitmap_ = CreateCompatibleBitmap(screen, std::max(layout_.bitmap_width, 1), kButtonHeight);
  ReleaseDC(nullptr, screen);
  old_bitmap_ = SelectObject(memory_dc_, button_bitmap_);

  // 10. The icon holder.
  if (layout_.icon_holder) {
    const BoxRect& r = layout_.icon_rect;
    icon_holder_ =
        CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_OWNERDRAW, r.x,
                        r.y, r.width, r.height, window_, nullptr, module, nullptr);
  }

  // 13, 14. The buttons.
  CreateButtons();

  // 15. The message.
  const BoxRect& m = layout_.message;
  HWND text =
      CreateWindowExA(0, "STATIC", message_.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                      m.x, m.y, m.width, m.height, window_, nullptr, module, nullptr);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(message_font_), FALSE);

  // 16. The report area.
  if (layout_.report_area) CreateReportArea();

  // 17. Size and place.
  SetWindowPos(window_, nullptr, layout_.left, layout_.top, layout_.width, layout_.height,
               SWP_NOZORDER | SWP_NOACTIVATE);

  // 19. Sound, show, to the top, to the foreground; then the focus.
  MessageBeep(MB_ICONHAND);
  ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOWNORMAL);
  BringWindowToTop(window_);
  SetForegroundWindow(window_);
  if (layout_.default_button >= 0) SetFocus(buttons_[layout_.default_button].window);

  // 18. The countdown (after the focus was given, which would stop it otherwise).
  automatic_ = layout_.automatic;
  if (automatic_ >= 0 && buttons_[automatic_].window) {
    countdown_start_ = GetTickCount();
    if (countdown_start_ == 0) countdown_start_ = 1;
    SetTimer(window_, kCountdownTimer, kCountdownPeriodMs, nullptr);
  } else {
    automatic_ = -1;
  }
  constructing_ = false;

  // 20. A frozen program's box closes by itself when the main thread answers again.
  if (frozen) AnnounceFrozenBox(window_);
}

TExceptionBox::~TExceptionBox() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  for (Button& button : buttons_) {
    if (button.picture) DestroyIcon(button.picture);
  }
  if (big_icon_) DestroyIcon(big_icon_);
  if (memory_dc_) {
    if (old_bitmap_) SelectObject(memory_dc_, old_bitmap_);
    if (old_font_) SelectObject(memory_dc_, old_font_);
    DeleteDC(memory_dc_);
  }
  if (button_bitmap_) DeleteObject(button_bitmap_);
  if (message_font_) DeleteObject(message_font_);
  if (report_font_) DeleteObject(report_font_);
}

void TExceptionBox::CreateButtons() {
  const HMODULE module = ReporterModule();
  for (int i = 0; i < kBoxButtons; ++i) {
    const BoxButton& place = layout_.buttons[i];
    Button& button = buttons_[i];
    if (!place.exists) continue;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    style |= box_settings_.AnimatedButtons ? BS_OWNERDRAW
             : i == layout_.default_button ? BS_DEFPUSHBUTTON
                                           : BS_PUSHBUTTON;
    if (!place.enabled) style |= WS_DISABLED;
    const BoxRect& r = place.rect;
    button.window = CreateWindowExA(
        0, "BUTTON", button.caption.c_str(), style, r.x, r.y, r.width, r.height, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBoxButtonIdBase + i)), module, nullptr);
    if (!button.window) continue;
    button.action = place.action;
    button.width = r.width;
    SetWindowLongPtrA(button.window, GWLP_USERDATA, place.action);
    SendMessageA(button.window, WM_SETFONT, reinterpret_cast<WPARAM>(message_font_), FALSE);
    // An owner-drawn button cannot carry the default style; the box remembers it instead.
    if (box_settings_.AnimatedButtons) {
      const std::string name = std::string("kti") + kPictureNames[place.action];
      button.picture = LoadBoxIcon(name, 16);
      button.picture_bitmap = !button.picture && BlendPicture(BitmapResource(name), 0);
    }
  }
}

void TExceptionBox::CreateReportArea() {
  const HMODULE module = ReporterModule();
  if (box_settings_.CopyReportToClipboard) PutReportOnClipboard();
  const BoxRect& g = layout_.grey_frame;
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_GRAYRECT, g.x, g.y,
                  g.width, g.height, window_, nullptr, module, nullptr);
  const BoxRect& w = layout_.white_frame;
  HWND white = CreateWindowExA(
      0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | SS_WHITERECT,
      w.x, w.y, w.width, w.height, window_, nullptr, module, nullptr);
  SetWindowPos(white, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  const BoxRect& e = layout_.report_edit;
  report_edit_ = CreateWindowExA(0, "EDIT", "",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                     ES_READONLY | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                                 e.x, e.y, e.width, e.height, white, nullptr, module, nullptr);
  SendMessageA(report_edit_, WM_SETFONT, reinterpret_cast<WPARAM>(report_font_), FALSE);
  SendMessageA(report_edit_, EM_SETLIMITTEXT, 0, 0);
  SetWindowTextA(report_edit_, WithCrLf(bug_report_).c_str());
}

void TExceptionBox::PutReportOnClipboard() const {
  if (!OpenClipboard(window_)) return;
  EmptyClipboard();
  const std::string text = WithCrLf(bug_report_);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(memory)) {
      std::memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

LRESULT CALLBACK TExceptionBox::Procedure(void* object, HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  auto* box = static_cast<TExceptionBox*>(object);
  if (message == WM_NCDESTROY) {
    box->window_ = nullptr;
    return DefWindowProcA(window, message, wparam, lparam);
  }
  return box->Handle(message, wparam, lparam);
}

LRESULT TExceptionBox::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NULL:
      if (wparam == kWatchdogAnswer && lparam == static_cast<LPARAM>(kWatchdogAnswer)) {
        DestroyWindow(window_);
        return 0;
      }
      break;
    case WM_CLOSE: {
      const int action = CloseRequestAction(layout_, can_continue_);
      if (action >= 0) RunAction(action);
      return 0;
    }
    case WM_TIMER:
      if (wparam == kCountdownTimer) Tick();
      return 0;
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_COMMAND: {
      // A button's own command, or Enter, which names the focused window.
      int index = IndexOf(reinterpret_cast<HWND>(lparam));
      if (index < 0) index = IndexOf(GetFocus());
      if (index >= 0 && HIWORD(wparam) == BN_CLICKED) Press(index);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(window_, message, wparam, lparam);
}

int TExceptionBox::IndexOf(HWND button) const {
  if (!button) return -1;
  for (int i = 0; i < kBoxButtons; ++i) {
    if (buttons_[i].window == button) return i;
  }
  return -1;
}

void TExceptionBox::StopCountdown() {
  if (countdown_start_ == 0) return;
  KillTimer(window_, kCountdownTimer);
  countdown_start_ = 0;
  if (automatic_ >= 0 && buttons_[automatic_].window) {
    InvalidateRect(buttons_[automatic_].window, nullptr, FALSE);
  }
}

int TExceptionBox::CountdownAt() const {
  if (countdown_start_ == 0 || automatic_ < 0) return -1;
  return CountdownPosition(GetTickCount() - countdown_start_, buttons_[automatic_].width,
                           settings_.AutoDelay);
}

void TExceptionBox::Tick() {
  if (countdown_start_ == 0 || automatic_ < 0) return;
  const int p = CountdownAt();
  if (p < 0 || p == last_progress_) return;
  Button& button = buttons_[automatic_];
  if (p > button.width) {
    // Pressed once: the countdown ends with the post.
    KillTimer(window_, kCountdownTimer);
    countdown_start_ = 0;
    PostMessageA(window_, WM_COMMAND, MAKEWPARAM(kBoxButtonIdBase + automatic_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.window));
    return;
  }
  last_progress_ = p;
  InvalidateRect(button.window, nullptr, FALSE);
  UpdateWindow(button.window);
}

ButtonLook TExceptionBox::LookOf(int index, bool focused) const {
  const bool disabled = buttons_[index].action == kCantContinueAction;
  return focused ? FocusedLook(System(COLOR_3DDKSHADOW))
                 : UnfocusedLook(System(COLOR_BTNFACE), bits_per_pixel_, disabled);
}

void TExceptionBox::PaintButton(int index, HDC dc, const ButtonLook& look, bool disabled) {
  const Button& button = buttons_[index];
  const int width = std::min(button.width, layout_.bitmap_width);
  const RECT all{0, 0, width, kButtonHeight};
  HBRUSH fill = CreateSolidBrush(look.background);
  FillRect(memory_dc_, &all, fill);
  DeleteObject(fill);
  // The picture.
  if (button.picture) {
    DrawIconEx(memory_dc_, 3, 3, button.picture, 16, 16, 0, nullptr, DI_NORMAL);
  } else if (button.picture_bitmap) {
    const std::string name = std::string("kti") + kPictureNames[button.action];
    if (const auto picture = BlendPicture(BitmapResource(name), look.background)) {
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = kPictureSide;
      info.bmiHeader.biHeight = picture->top_down ? -kPictureSide : kPictureSide;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      void* bits = nullptr;
      if (HBITMAP section =
              CreateDIBSection(memory_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0)) {
        std::memcpy(bits, picture->pixels.data(), sizeof picture->pixels);
        HDC section_dc = CreateCompatibleDC(memory_dc_);
        HGDIOBJ old = SelectObject(section_dc, section);
        BitBlt(memory_dc_, 3, 3, kPictureSide, kPictureSide, section_dc, 0, 0, SRCCOPY);
        SelectObject(section_dc, old);
        DeleteDC(section_dc);
        DeleteObject(section);
      }
    }
  }
  // The caption.
  const int x = CaptionX(button.width, button.caption_width);
  const int length = static_cast<int>(button.caption.size());
  if (disabled) {
    SetTextColor(memory_dc_, 0xFFFFFF);
    TextOutA(memory_dc_, x + 1, 5, button.caption.c_str(), length);
    SetTextColor(memory_dc_, System(COLOR_3DDKSHADOW));
  } else {
    SetTextColor(memory_dc_, look.text);
  }
  TextOutA(memory_dc_, x, 4, button.caption.c_str(), length);
  // The countdown's line.
  if (index == automatic_) {
    const int p = CountdownAt();
    if (p >= 0) {
      const CountdownLines lines =
          CountdownLinesAt(p, width, System(COLOR_BTNFACE), look.background, bits_per_pixel_);
      for (int i = 0; i < lines.count; ++i) {
        const RECT line{lines.strokes[i].x, 0, lines.strokes[i].x + 1, kButtonHeight};
        HBRUSH brush = CreateSolidBrush(lines.strokes[i].colour);
        FillRect(memory_dc_, &line, brush);
        DeleteObject(brush);
      }
    }
  }
  BitBlt(dc, 0, 0, width, kButtonHeight, memory_dc_, 0, 0, SRCCOPY);
}

void TExceptionBox::PaintInto(int index, const ButtonLook& look, bool disabled) {
  HWND window = buttons_[index].window;
  if (!window) return;
  HDC dc = GetDC(window);
  PaintButton(index, dc, look, disabled);
  ReleaseDC(window, dc);
}

void TExceptionBox::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem == icon_holder_) {
    if (big_icon_) DrawIconEx(item.hDC, 0, 0, big_icon_, 32, 32, 0, nullptr, DI_NORMAL);
    return;
  }
  const int index = IndexOf(item.hwndItem);
  if (index < 0) return;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  if (item.itemAction == ODA_FOCUS && !constructing_) {
    StopCountdown();
    Fade(index, focused);
    return;
  }
  PaintButton(index, item.hDC, LookOf(index, focused), disabled);
}

void TExceptionBox::Fade(int index, bool to_focused) {
  const ButtonLook from = LookOf(index, !to_focused);
  const ButtonLook to = LookOf(index, to_focused);
  const bool disabled = !IsWindowEnabled(buttons_[index].window);
  for (int step = 0; step < kFadeSteps; ++step) {
    PaintInto(index, FadeLook(from, to, step), disabled);
    if (step + 1 < kFadeSteps) Sleep(10);
  }
  last_animation_ = GetTickCount();
}

void TExceptionBox::Flash(int index) {
  const ButtonLook off = LookOf(index, false);
  const ButtonLook on = LookOf(index, true);
  for (int i = 0; i < 4; ++i) {
    PaintInto(index, off, false);
    Sleep(50);
    PaintInto(index, on, false);
    Sleep(50);
  }
}

void TExceptionBox::Press(int index) {
  StopCountdown();
  const int action = buttons_[index].action;
  if (box_settings_.AnimatedButtons) {
    if (action == kMail || action == kSave || action == kPrint) {
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      Flash(index);
    } else if (action == kShow || GetTickCount() - last_animation_ > 200) {
      Fade(index, true);
    }
  }
  RunAction(action);
}

void TExceptionBox::FocusAfterRemoval() {
  if (layout_.default_button >= 0 && buttons_[layout_.default_button].window) {
    SetFocus(buttons_[layout_.default_button].window);
    return;
  }
  for (const Button& button : buttons_) {
    if (button.window && IsWindowEnabled(button.window)) {
      SetFocus(button.window);
      return;
    }
  }
  SetFocus(window_);
}

void TExceptionBox::RunAction(int action) {
  switch (action) {
    case kShow: {
      if (box_settings_.CopyReportToClipboard) PutReportOnClipboard();
      RECT frame;
      GetWindowRect(window_, &frame);
      const ShowGrowth growth = GrowForReport(layout_, frame.right - frame.left);
      SetWindowPos(window_, nullptr, 0, 0, growth.width, growth.height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      if (growth.shift > 0) {
        for (int i = kContinue; i <= kClose; ++i) {
          HWND button = buttons_[i].window;
          if (!button) continue;
          RECT place;
          GetWindowRect(button, &place);
          MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
          SetWindowPos(button, nullptr, place.left + growth.shift, place.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
      }
      if (HWND show = buttons_[kShow].window) {
        buttons_[kShow].window = nullptr;
        DestroyWindow(show);
        FocusAfterRemoval();
      }
      // The box erases what it uncovered after the moved buttons kept their old pixels.
      RedrawWindow(window_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      return;
    }
    case kClose:
    case kCantContinueAction:
      EndProcessNow();
    case kContinue:
      if (!can_continue_) EndProcessNow();
      DestroyWindow(window_);
      return;
    case kRestart:
      StartNewInstance(ReporterHistory());
    case kMail:
      MailAction(bug_report_, window_, false);
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return;
    case kSave:
      if (SaveAction(bug_report_, window_, false)) {
        if (HWND save = buttons_[kSave].window) {
          buttons_[kSave].window = nullptr;
          DestroyWindow(save);
          FocusAfterRemoval();
        }
        MessageBeep(MB_ICONASTERISK);
      } else {
        MessageBeep(MB_OK);
      }
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return;
    case kPrint:
      PrintAction(bug_report_, window_);
      MessageBeep(MB_ICONASTERISK);
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return;
    default:
      return;
  }
}

bool RunExceptionBox(const ActiveSettings& settings, bool frozen, bool can_continue,
                     const std::string& bug_report, uint32_t exception_address,
                     const ReportedException* exception) {
  TExceptionBox box(settings, frozen, can_continue, bug_report, exception_address, exception);
  const HWND window = box.window();
  if (!window) return false;
  MSG message;
  while (IsWindow(window)) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      // A quit request belongs to whoever runs a loop after the box.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      SendMessageA(window, WM_CLOSE, 0, 0);
      continue;
    }
    if (message.hwnd != box.report_edit() && IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

}  // namespace crash
