// Hidden per-thread message windows to which handlers of system-wide and registered
// messages attach. One registry serves the process; a named mutex guards it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace trace {

// Called for a message of the handler's number with the window procedure's arguments; the
// result starts as DefWindowProcA's and the handler may change it. Must not throw.
using MessageHandlerFunction = void (*)(void* object, HWND window, UINT message, WPARAM wparam,
                                        LPARAM lparam, LRESULT& result);

// A handler: a routine, or a routine with the object it works on.
struct MessageHandler {
  MessageHandlerFunction function = nullptr;  // the routine
  void* object = nullptr;                     // passed to the routine; may be null
};

// The first message number handed out when none is asked for (WM_USER).
inline constexpr UINT kFirstFreeMessage = 0x400;

// The message window of a thread (0: the calling thread), created when the calling thread
// has none; null for another thread without one, or when creation fails.
HWND MessageWindow(DWORD thread_id = 0);

// Registers handler for message (0: the lowest number from kFirstFreeMessage that the
// thread's window does not use yet) on the window of thread_id (0: the calling thread).
// Gives the message number, or 0 when the same handler with the same message and keys is
// registered already or the thread has no window and is not the caller.
UINT AddMessageHandler(MessageHandler handler, UINT message, DWORD thread_id, uintptr_t key1,
                       uintptr_t key2);

// Removes every registration of handler with these keys and message (0: any) from the
// window of thread_id (0: the calling thread). A window left without handlers is destroyed:
// at once on its own thread, through WM_CLOSE from any other.
void RemoveMessageHandler(MessageHandler handler, UINT message, DWORD thread_id, uintptr_t key1,
                          uintptr_t key2);

}  // namespace trace
