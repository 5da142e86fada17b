// The 88-byte restart block an old instance leaves in named shared memory for the new
// instance it starts: the old process's id (to wait for its end), the block's mapping
// handle as duplicated into the new process (which closes it) and the 80 bytes of the
// exception history, all little-endian.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "crash/exception_history.h"

namespace crash {

inline constexpr int kRestartBlockBytes = 88;

struct RestartBlock {
  uint32_t old_process_id = 0;  // offset 0
  uint32_t mapping_handle = 0;  // offset 4: a handle value valid in the new process
  ExceptionHistory history;     // offset 8, 80 bytes

  // Writes the 88 bytes.
  void Write(std::span<uint8_t, kRestartBlockBytes> out) const;
  // Reads the 88 bytes.
  static RestartBlock Read(std::span<const uint8_t, kRestartBlockBytes> in);
};

// Room for the longest name and its terminating zero ("kestraponRestart$ffffffff").
inline constexpr int kRestartBlockNameSize = 26;

// "kestraponRestart" and the new process's id in the "$" hexadecimal form, at least one
// digit: the name both instances compute for the block.
std::string RestartBlockName(uint32_t new_process_id);
// The same name written zero-terminated into `out`, without allocating (the restart runs
// while other threads, which may hold the heap's lock, are paused).
void WriteRestartBlockName(uint32_t new_process_id, std::span<char, kRestartBlockNameSize> out);

}  // namespace crash
