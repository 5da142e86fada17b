#include "framework/application.h"

#include "framework/form.h"
#include "framework/guard.h"
#include "framework/standard_components.h"
#include "framework/win_control.h"

namespace fw {

TApplication* Application = nullptr;

namespace {

constexpr char kWindowClass[] = "TApplication";

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  CallGuarded(Application, [&] {
    switch (message) {
      case WM_CLOSE:
        // Closing the task-bar button closes the main form.
        if (Application && Application->MainForm()) {
          Application->MainForm()->Close();
          return;
        }
        break;
      case WM_SETFOCUS:
        // The application window itself takes no input: the main form does.
        if (Application && Application->MainForm() &&
            IsWindowVisible(Application->MainForm()->Handle())) {
          SetFocus(Application->MainForm()->Handle());
          return;
        }
        break;
      default:
        break;
    }
    result = DefWindowProcA(window, message, wparam, lparam);
  });
  return result;
}

}  // namespace

TApplication::TApplication() : TComponent(nullptr) {
  if (!Application) Application = this;
}

TApplication::~TApplication() {
  DestroyComponents();
  if (handle_) DestroyWindow(handle_);
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  RegisterStandardComponents();
  InstallExternalExceptionHandler();
  if (handle_) return;
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = ApplicationWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  window_class.lpszClassName = kWindowClass;
  RegisterClassA(&window_class);
  // A zero-size window in the middle of the screen: its task-bar button is
  // the application's; the forms it owns get none of their own.
  handle_ = CreateWindowExA(0, kWindowClass, title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                            0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!handle_) throw Exception("Cannot create the application window");
}

void TApplication::SetTitle(std::string title) {
  title_ = std::move(title);
  if (handle_) SetWindowTextA(handle_, title_.c_str());
}

void TApplication::FormGone(TForm* form) {
  if (main_form_ == form) main_form_ = nullptr;
}

void TApplication::Run() {
  if (!main_form_) return;
  ShowWindow(handle_, SW_SHOWNORMAL);
  main_form_->Show();
  while (!terminated_)
    HandleMessage();
}

bool TApplication::ProcessMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  if (message.message == WM_KEYDOWN &&
      (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE || message.wParam == VK_TAB)) {
    // The form of the focused window decides about dialog keys.
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root))) {
      bool handled = false;
      CallGuarded(form, [&] { handled = form->DialogKey(message.wParam); });
      if (handled) return true;
    }
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::HandleMessage() {
  if (!ProcessMessage() && !terminated_) WaitMessage();
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

namespace {

ApplicationExceptionHook g_exception_hook = nullptr;

}  // namespace

ApplicationExceptionHook SetApplicationExceptionHook(ApplicationExceptionHook hook) {
  const ApplicationExceptionHook previous = g_exception_hook;
  g_exception_hook = hook;
  return previous;
}

void TApplication::HandleException(TObject* sender, const Exception& e) {
  if (g_exception_hook && g_exception_hook(sender, e)) return;
  if (OnException) {
    OnException(sender, e);
  } else if (!e.InheritsFrom("EAbort")) {
    ShowException(e);
  }
}

void TApplication::ShowException(const Exception& e) {
  if (g_exception_hook && g_exception_hook(this, e)) return;
  std::string text = e.Message();
  if (!text.empty() && text.back() != '.') text += '.';
  MessageBoxA(main_form_ ? main_form_->Handle() : handle_, text.c_str(), title_.c_str(),
              MB_OK | MB_ICONSTOP);
}

void TApplication::SetHint(std::string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  if (OnHint) OnHint(this);
}

void TApplication::CancelHint() {
  hint_cancelled_ = true;
  SetHint(std::string());
}

bool TApplication::TakeHintCancel() {
  const bool cancelled = hint_cancelled_;
  hint_cancelled_ = false;
  return cancelled;
}

}  // namespace fw
