#include "trace/stack/win/code_patcher_win.h"

#include <windows.h>

#include <array>
#include <cstring>

#include "trace/system/win/try_read_memory_win.h"

namespace trace {

namespace {

constexpr uint32_t kStubPageSize = 4096;
// Stubs are 6 bytes; 8 keeps each one inside an aligned quadword.
constexpr uint32_t kStubSlot = 8;

void* Pointer(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

// Writes bytes at address with the pages made writable for the write and their protection
// restored after; flushes the instruction cache there. False when the protection cannot be
// changed.
bool WriteCode(uint32_t address, const uint8_t* bytes, uint32_t count) {
  DWORD old_protection = 0;
  if (!VirtualProtect(Pointer(address), count, PAGE_EXECUTE_READWRITE, &old_protection)) {
    return false;
  }
  std::memcpy(Pointer(address), bytes, count);
  DWORD ignored = 0;
  VirtualProtect(Pointer(address), count, old_protection, &ignored);
  FlushInstructionCache(GetCurrentProcess(), Pointer(address), count);
  return true;
}

}  // namespace

uint32_t WinCodePatcher::NextStub() {
  if (page_ == 0 || used_ + kStubSlot > kStubPageSize) {
    // Executable, but not writable between two writes.
    void* page = VirtualAlloc(nullptr, kStubPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READ);
    if (page == nullptr) return 0;
    page_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(page));
    used_ = 0;
  }
  const uint32_t stub = page_ + used_;
  used_ += kStubSlot;
  return stub;
}

uint32_t WinCodePatcher::RedirectCall(uint32_t call_address, uint32_t target) {
  uint8_t present[5];
  if (!TryReadMemory(call_address, present, sizeof present)) return 0;
  const uint32_t rel = target - (call_address + 5);  // wraps as the processor does
  if (present[0] != 0xE8 || std::memcmp(present + 1, &rel, 4) != 0) return 0;

  const uint32_t stub = NextStub();
  if (stub == 0) return 0;
  const std::array<uint8_t, 6> stub_bytes = CallAndReturnStub(stub, target);
  if (!WriteCode(stub, stub_bytes.data(), stub_bytes.size())) return 0;
  const std::array<uint8_t, 5> jump = JumpRel32(call_address, stub);
  if (!WriteCode(call_address, jump.data(), jump.size())) return 0;
  stubs_.push_back(stub);
  return stub;
}

}  // namespace trace
