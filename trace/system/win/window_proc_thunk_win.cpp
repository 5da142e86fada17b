#include "trace/system/win/window_proc_thunk_win.h"

#include <cstring>
#include <utility>

#include "trace/system/window_proc_thunk.h"

namespace trace {

WindowProcThunk::WindowProcThunk(void* object, Method method) {
  // Memory of the heap is not executable where data execution prevention is on, so the
  // thunk gets a page of its own, made executable and read-only once written.
  void* page =
      VirtualAlloc(nullptr, kWindowProcThunkSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (page == nullptr) return;
  const auto code = BuildWindowProcThunk(
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(page)),
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object)),
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(method))));
  std::memcpy(page, code.data(), code.size());
  DWORD old = 0;
  if (!VirtualProtect(page, kWindowProcThunkSize, PAGE_EXECUTE_READ, &old)) {
    VirtualFree(page, 0, MEM_RELEASE);
    return;
  }
  FlushInstructionCache(GetCurrentProcess(), page, kWindowProcThunkSize);
  code_ = page;
}

WindowProcThunk::~WindowProcThunk() {
  if (code_ != nullptr) VirtualFree(code_, 0, MEM_RELEASE);
}

WindowProcThunk::WindowProcThunk(WindowProcThunk&& other) noexcept
    : code_(std::exchange(other.code_, nullptr)) {}

}  // namespace trace
