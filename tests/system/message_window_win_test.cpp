#include "trace/system/win/message_window_win.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "trace/text/number_text.h"

namespace trace {
namespace {

struct Log {
  int calls = 0;
  UINT message = 0;
  WPARAM wparam = 0;
  LRESULT seen_result = -1;
};

void Record(void* object, HWND, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  auto* log = static_cast<Log*>(object);
  ++log->calls;
  log->message = message;
  log->wparam = wparam;
  log->seen_result = result;
  result = lparam + 1;
}

void Double(void*, HWND, UINT, WPARAM, LPARAM, LRESULT& result) {
  result *= 2;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageA(&msg);
}

TEST(MessageWindowTest, NumbersFrom1024AndDispatchInListOrder) {
  Log first, second;
  const MessageHandler a{&Record, &first};
  const MessageHandler b{&Record, &second};
  EXPECT_EQ(AddMessageHandler(a, 0, 0, 1, 2), 1024u);
  EXPECT_EQ(AddMessageHandler(b, 0, 0, 1, 2), 1025u);
  const HWND window = MessageWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(MessageWindow(GetCurrentThreadId()), window);
  // The class name ends in the thread id and a code address, both in "$" hex.
  const std::string prefix = "kivToolsMsgHandlerWindow" + FormatHex(GetCurrentThreadId()) + "$";
  const std::string name = ClassName(window);
  EXPECT_EQ(name.rfind(prefix, 0), 0u) << name;
  EXPECT_EQ(name.find_first_not_of("0123456789abcdef", prefix.size()), std::string::npos) << name;

  // A handler sees the default result and may change it; the next one sees the change.
  EXPECT_EQ(AddMessageHandler({&Double, nullptr}, 1024, 0, 0, 0), 1024u);
  EXPECT_EQ(SendMessageA(window, 1024, 7, 40), 82);
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(first.wparam, 7u);
  EXPECT_EQ(first.seen_result, 0);
  EXPECT_EQ(second.calls, 0);
  EXPECT_EQ(SendMessageA(window, 1025, 0, 9), 10);
  EXPECT_EQ(second.calls, 1);
  // System-wide messages reach their handlers; others below 0x218 do not.
  EXPECT_EQ(AddMessageHandler(a, WM_SETTINGCHANGE, 0, 1, 2), static_cast<UINT>(WM_SETTINGCHANGE));
  SendMessageA(window, WM_SETTINGCHANGE, 0, 0);
  EXPECT_EQ(first.message, static_cast<UINT>(WM_SETTINGCHANGE));
  const int calls = first.calls;
  EXPECT_EQ(AddMessageHandler(a, 0x100, 0, 1, 2), 0x100u);
  SendMessageA(window, 0x100, 0, 0);  // WM_KEYDOWN
  EXPECT_EQ(first.calls, calls);

  // The same registration again gives 0; other keys make another registration.
  EXPECT_EQ(AddMessageHandler(a, 1024, 0, 1, 2), 0u);
  EXPECT_EQ(AddMessageHandler(a, 1024, 0, 1, 3), 1024u);
  // The lowest free number is chosen.
  EXPECT_EQ(AddMessageHandler(b, 0, 0, 5, 5), 1026u);

  // Removal of the last handler destroys the window.
  RemoveMessageHandler(a, 0, 0, 1, 2);
  RemoveMessageHandler(a, 0, 0, 1, 3);
  RemoveMessageHandler(b, 0, 0, 1, 2);
  EXPECT_TRUE(IsWindow(window));
  RemoveMessageHandler({&Double, nullptr}, 1024, 0, 0, 0);
  RemoveMessageHandler(b, 1026, 0, 5, 5);
  EXPECT_FALSE(IsWindow(window));
}

TEST(MessageWindowTest, OtherThreads) {
  // No window can be made on behalf of another thread.
  DWORD other_id = 0;
  std::thread other([&] { other_id = GetCurrentThreadId(); });
  other.join();
  Log log;
  EXPECT_EQ(MessageWindow(other_id), nullptr);
  EXPECT_EQ(AddMessageHandler({&Record, &log}, 0, other_id, 0, 0), 0u);

  // A window removed from another thread is closed through its message queue.
  EXPECT_EQ(AddMessageHandler({&Record, &log}, 0, 0, 0, 0), 1024u);
  const HWND window = MessageWindow();
  const DWORD owner = GetCurrentThreadId();
  std::thread remover([&] { RemoveMessageHandler({&Record, &log}, 0, owner, 0, 0); });
  remover.join();
  EXPECT_TRUE(IsWindow(window));
  PumpMessages();
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace trace
