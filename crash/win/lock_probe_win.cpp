#include "crash/win/lock_probe_win.h"

#include <windows.h>

#include <cstdint>

#include "trace/system/win/try_read_memory_win.h"

namespace crash {

namespace {

// The process environment block of the calling thread (fs:[0x30]).
uint32_t ProcessEnvironmentBlock() {
  uint32_t peb;
  asm volatile("movl %%fs:0x30, %0" : "=r"(peb));
  return peb;
}

// True when the critical section at the address is owned by the calling thread.
bool OwnsCriticalSection(uint32_t section) {
  if (section == 0) return false;
  uint32_t owner = 0;  // RTL_CRITICAL_SECTION.OwningThread at offset 12
  if (!trace::TryReadMemory(section + 12, &owner, sizeof owner)) return false;
  return owner == GetCurrentThreadId();
}

}  // namespace

bool HoldsSystemLock() {
  const uint32_t peb = ProcessEnvironmentBlock();
  uint32_t fast_peb_lock = 0;  // PEB.FastPebLock at offset 0x1C
  uint32_t loader_lock = 0;    // PEB.LoaderLock at offset 0xA0
  if (trace::TryReadMemory(peb + 0xA0, &loader_lock, sizeof loader_lock) &&
      OwnsCriticalSection(loader_lock)) {
    return true;
  }
  return trace::TryReadMemory(peb + 0x1C, &fast_peb_lock, sizeof fast_peb_lock) &&
         OwnsCriticalSection(fast_peb_lock);
}

}  // namespace crash
