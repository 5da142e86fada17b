// Reads memory of the running process without faulting on unmapped or protected pages.
#pragma once

#include <cstdint>

namespace trace {

// Copies exactly count bytes at address into buffer; false when address is null, when any
// of the bytes is unreadable or when the read service is unavailable.
bool TryReadMemory(const void* address, void* buffer, uint32_t count);

// Copies count bytes with a copy whose access faults end it instead of the process; false
// after a fault or when no vectored exception handler can be installed. No check beforehand:
// a guard page it touches loses its guard.
bool GuardedCopyMemory(void* target, const void* source, uint32_t count);

// TryReadMemory at a 32-bit address.
inline bool TryReadMemory(uint32_t address, void* buffer, uint32_t count) {
  return TryReadMemory(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), buffer,
                       count);
}

}  // namespace trace
