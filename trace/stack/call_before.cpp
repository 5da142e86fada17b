#include "trace/stack/call_before.h"

namespace trace {

bool CallsBefore(const AddressSpace& memory, uint32_t address) {
  constexpr uint32_t kWindow = 8;
  if (address < kWindow) return false;
  uint8_t bytes[kWindow];
  if (!memory.Read(address - kWindow, bytes, kWindow)) return false;
  // before(k) is the byte at address - k.
  auto before = [&](uint32_t k) { return bytes[kWindow - k]; };
  if (before(5) == 0xE8) return true;
  // FF with a ModR/M whose reg field is 2 (call near) or 3 (call far), the ModR/M at
  // address - length + 1 for each length the addressing forms give.
  for (uint32_t length : {2u, 3u, 4u, 6u, 7u}) {
    if (before(length) == 0xFF && (before(length - 1) & 0x30) == 0x10) return true;
  }
  return before(7) == 0x9A;
}

}  // namespace trace
