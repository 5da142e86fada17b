#include "trace/stack/code_patcher.h"

namespace trace {

namespace {

// An instruction of opcode and a rel32 to to, placed at from and 5 bytes long.
std::array<uint8_t, 5> Rel32(uint8_t opcode, uint32_t from, uint32_t to) {
  const uint32_t rel = to - (from + 5);  // wraps as the processor does
  return {opcode, static_cast<uint8_t>(rel), static_cast<uint8_t>(rel >> 8),
          static_cast<uint8_t>(rel >> 16), static_cast<uint8_t>(rel >> 24)};
}

}  // namespace

std::array<uint8_t, 6> CallAndReturnStub(uint32_t stub, uint32_t target) {
  const std::array<uint8_t, 5> call = Rel32(0xE8, stub, target);
  return {call[0], call[1], call[2], call[3], call[4], 0xC3};
}

std::array<uint8_t, 5> JumpRel32(uint32_t from, uint32_t to) {
  return Rel32(0xE9, from, to);
}

}  // namespace trace
