#include "trace/stack/stack_copy_space.h"

#include <algorithm>
#include <cstring>

namespace trace {

bool StackCopySpace::Read(uint32_t address, void* buffer, uint32_t count) const {
  if (count == 0) return true;
  if (static_cast<uint64_t>(address) + count > 0x100000000ull) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  const uint64_t copy_end = static_cast<uint64_t>(base_) + copy_.size();
  uint64_t at = address;
  const uint64_t end = at + count;
  while (at < end) {
    if (at >= base_ && at < copy_end) {
      const uint64_t part = std::min(end, copy_end) - at;
      std::memcpy(out + (at - address), copy_.data() + (at - base_), part);
      at += part;
    } else {
      // Up to the copy's start (or to the end when the copy lies before).
      const uint64_t stop = at < base_ ? std::min<uint64_t>(end, base_) : end;
      if (!beneath_.Read(static_cast<uint32_t>(at), out + (at - address),
                         static_cast<uint32_t>(stop - at))) {
        return false;
      }
      at = stop;
    }
  }
  return true;
}

}  // namespace trace
