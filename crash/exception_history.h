// The times of the last ten exceptions, newest first, in whole seconds since 1601-01-01
// UTC; 0 marks an empty entry. The automatic restart and close rules count over it, and
// it travels to the new instance on a restart as 80 little-endian bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace crash {

inline constexpr int kHistoryEntries = 10;
inline constexpr int kHistoryBytes = kHistoryEntries * 8;

struct ExceptionHistory {
  std::array<uint64_t, kHistoryEntries> seconds{};  // newest first

  // Shifts every entry one place older (the oldest falls out) and sets the newest.
  void Push(uint64_t now);
  // The automatic-rule test: 0 false, 1 true; N >= 2 true only when all ten entries are
  // set and none is more than N seconds older than now.
  bool RuleHolds(int rule, uint64_t now) const;

  // The 80 bytes, entry by entry, each little-endian.
  void Write(std::span<uint8_t, kHistoryBytes> out) const;
  static ExceptionHistory Read(std::span<const uint8_t, kHistoryBytes> in);
};

}  // namespace crash
