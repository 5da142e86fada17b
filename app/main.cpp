// The installer's entry point. For now it shows a stand-in welcome window with
// the installer's caption; the real welcome window replaces it.
#include <windows.h>

namespace {

constexpr char kWindowClass[] = "AdreloWelcome";
constexpr char kCaption[] = "Adrelo Installation";
constexpr int kCloseButtonId = 1;

LRESULT CALLBACK WelcomeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
      HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
      HWND text = CreateWindowExA(0, "STATIC", "The installer is being built. Close ends it.",
                                  WS_CHILD | WS_VISIBLE, 16, 16, 460, 20, window, nullptr,
                                  create->hInstance, nullptr);
      HWND button = CreateWindowExA(
          0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 396, 280, 85,
          25, window, reinterpret_cast<HMENU>(kCloseButtonId), create->hInstance, nullptr);
      SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == kCloseButtonId) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = WelcomeProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassA(&window_class)) return 1;

  RECT frame{0, 0, 497, 328};
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&frame, style, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HWND window =
      CreateWindowExA(0, kWindowClass, kCaption, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                      instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
