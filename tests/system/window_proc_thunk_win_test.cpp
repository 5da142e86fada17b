#include "trace/system/win/window_proc_thunk_win.h"

#include <gtest/gtest.h>

namespace trace {
namespace {

struct Receiver {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  int calls = 0;

  static LRESULT CALLBACK Method(void* object, HWND window, UINT message, WPARAM wparam,
                                 LPARAM lparam) {
    auto* self = static_cast<Receiver*>(object);
    if (message != WM_USER + 7) return DefWindowProcA(window, message, wparam, lparam);
    self->window = window;
    self->message = message;
    self->wparam = wparam;
    self->lparam = lparam;
    ++self->calls;
    return 0x5A5A;
  }
};

TEST(WindowProcThunkWinTest, WindowReachesTheObjectsMethod) {
  Receiver receiver;
  WindowProcThunk thunk(&receiver, &Receiver::Method);
  ASSERT_NE(thunk.proc(), nullptr);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = thunk.proc();
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "WindowProcThunkTestClass";
  ASSERT_NE(RegisterClassA(&window_class), 0);
  HWND window = CreateWindowExA(0, "WindowProcThunkTestClass", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageA(window, WM_USER + 7, 0x1234, 0x56789ABC), 0x5A5A);
  EXPECT_EQ(receiver.calls, 1);
  EXPECT_EQ(receiver.window, window);
  EXPECT_EQ(receiver.message, static_cast<UINT>(WM_USER + 7));
  EXPECT_EQ(receiver.wparam, 0x1234u);
  EXPECT_EQ(receiver.lparam, 0x56789ABC);

  WindowProcThunk moved(std::move(thunk));
  EXPECT_EQ(thunk.proc(), nullptr);
  EXPECT_EQ(moved.proc(), window_class.lpfnWndProc);
  DestroyWindow(window);
  UnregisterClassA("WindowProcThunkTestClass", window_class.hInstance);
}

}  // namespace
}  // namespace trace
