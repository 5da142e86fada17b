// Reads memory of the running process without faulting on unmapped or protected pages.
#pragma once

#include <cstdint>

namespace trace {

// Copies exactly count bytes at address into buffer through the system's process-memory
// read; false when address is null, when any of the bytes is unreadable (guard pages
// included, which keep their guard) or when the read service is unavailable.
bool TryReadMemory(const void* address, void* buffer, uint32_t count);

// TryReadMemory at a 32-bit address.
inline bool TryReadMemory(uint32_t address, void* buffer, uint32_t count) {
  return TryReadMemory(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), buffer,
                       count);
}

}  // namespace trace
