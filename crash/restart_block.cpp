#include "crash/restart_block.h"

#include "trace/text/number_text.h"

namespace crash {
namespace {

constexpr int kHistoryOffset = 8;
static_assert(kHistoryOffset + kHistoryBytes == kRestartBlockBytes);

void Write32(std::span<uint8_t, kRestartBlockBytes> out, int offset, uint32_t value) {
  for (int b = 0; b < 4; ++b)
    out[offset + b] = static_cast<uint8_t>(value >> (8 * b));
}

uint32_t Read32(std::span<const uint8_t, kRestartBlockBytes> in, int offset) {
  uint32_t value = 0;
  for (int b = 3; b >= 0; --b)
    value = value << 8 | in[offset + b];
  return value;
}

}  // namespace

void RestartBlock::Write(std::span<uint8_t, kRestartBlockBytes> out) const {
  Write32(out, 0, old_process_id);
  Write32(out, 4, mapping_handle);
  history.Write(out.subspan<kHistoryOffset, kHistoryBytes>());
}

RestartBlock RestartBlock::Read(std::span<const uint8_t, kRestartBlockBytes> in) {
  RestartBlock block;
  block.old_process_id = Read32(in, 0);
  block.mapping_handle = Read32(in, 4);
  block.history = ExceptionHistory::Read(in.subspan<kHistoryOffset, kHistoryBytes>());
  return block;
}

std::string RestartBlockName(uint32_t new_process_id) {
  return "kestraponRestart" + trace::FormatHex(new_process_id, 1, '0');
}

void WriteRestartBlockName(uint32_t new_process_id, std::span<char, kRestartBlockNameSize> out) {
  static constexpr char kPrefix[] = "kestraponRestart$";
  static constexpr char kDigits[] = "0123456789abcdef";
  int at = 0;
  for (const char* c = kPrefix; *c != '\0'; ++c)
    out[at++] = *c;
  int shift = 28;
  while (shift > 0 && (new_process_id >> shift) == 0)
    shift -= 4;
  for (; shift >= 0; shift -= 4)
    out[at++] = kDigits[(new_process_id >> shift) & 15];
  out[at] = '\0';
}

}  // namespace crash
