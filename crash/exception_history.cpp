#include "crash/exception_history.h"

namespace crash {

void ExceptionHistory::Push(uint64_t now) {
  for (int i = kHistoryEntries - 1; i > 0; --i)
    seconds[i] = seconds[i - 1];
  seconds[0] = now;
}

bool ExceptionHistory::RuleHolds(int rule, uint64_t now) const {
  if (rule <= 0) return false;
  if (rule == 1) return true;
  for (uint64_t entry : seconds) {
    // An entry from the future (a clock set back) counts as recent.
    if (entry == 0 || (entry < now && now - entry > static_cast<uint64_t>(rule))) return false;
  }
  return true;
}

void ExceptionHistory::Write(std::span<uint8_t, kHistoryBytes> out) const {
  for (int i = 0; i < kHistoryEntries; ++i) {
    for (int b = 0; b < 8; ++b)
      out[i * 8 + b] = static_cast<uint8_t>(seconds[i] >> (8 * b));
  }
}

ExceptionHistory ExceptionHistory::Read(std::span<const uint8_t, kHistoryBytes> in) {
  ExceptionHistory history;
  for (int i = 0; i < kHistoryEntries; ++i) {
    uint64_t value = 0;
    for (int b = 7; b >= 0; --b)
      value = value << 8 | in[i * 8 + b];
    history.seconds[i] = value;
  }
  return history;
}

}  // namespace crash
