#include "trace/system/win/identifier_key_win.h"

#include <windows.h>

#include "trace/system/win/try_read_memory_win.h"

namespace trace {
namespace {

struct Key {
  uint32_t value = 0;
  bool record_below = false;
};

// The dword at offset of the thread information block (the fs segment).
uint32_t ThreadBlockDword(uint32_t offset) {
  uint32_t value = 0;
  asm volatile("movl %%fs:(%1), %0" : "=r"(value) : "r"(offset));
  return value;
}

// True when the dword at address can be read and equals expected.
bool DwordEquals(uint32_t address, uint32_t expected) {
  uint32_t value = 0;
  return TryReadMemory(address, &value, 4) && value == expected;
}

Key ComputeKey() {
  const uint32_t thread_id = GetCurrentThreadId();
  const uint32_t process_id = GetCurrentProcessId();
  Key key;
  const uint32_t self = ThreadBlockDword(0x18);
  uint32_t candidate = (self - 16) ^ thread_id;
  if (DwordEquals((thread_id ^ candidate) + 8, process_id ^ candidate)) {
    key.value = candidate;
    key.record_below = true;
    return key;
  }
  candidate = ThreadBlockDword(0x30) ^ process_id;
  if (DwordEquals((thread_id ^ candidate) + 56, process_id ^ candidate)) key.value = candidate;
  return key;
}

const Key& CachedKey() {
  static const Key key = ComputeKey();
  return key;
}

}  // namespace

uint32_t IdentifierKey() {
  return CachedKey().value;
}

bool ThreadRecordBelow() {
  return CachedKey().record_below;
}

}  // namespace trace
