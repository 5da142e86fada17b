// An object method as a window procedure, through a thunk in executable memory.
#pragma once

#include <windows.h>

namespace trace {

// Owns one thunk (see BuildWindowProcThunk). Move-only; freeing it while a window still
// uses the procedure is the owner's fault.
class WindowProcThunk {
 public:
  // A method entered with the object first, then the window procedure's arguments.
  using Method = LRESULT(CALLBACK*)(void* object, HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam);

  // Builds the thunk in memory of its own that may be executed; proc() is null when that
  // memory is unavailable.
  WindowProcThunk(void* object, Method method);
  // Frees the thunk's memory.
  ~WindowProcThunk();
  WindowProcThunk(const WindowProcThunk&) = delete;
  WindowProcThunk& operator=(const WindowProcThunk&) = delete;
  // Takes over other's thunk.
  WindowProcThunk(WindowProcThunk&& other) noexcept;
  WindowProcThunk& operator=(WindowProcThunk&&) = delete;

  // The window procedure; null when the thunk could not be built.
  WNDPROC proc() const { return reinterpret_cast<WNDPROC>(code_); }

 private:
  void* code_ = nullptr;
};

}  // namespace trace
