#include "trace/system/window_proc_thunk.h"

namespace trace {
namespace {

void PutDword(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace

std::array<uint8_t, kWindowProcThunkSize> BuildWindowProcThunk(uint32_t thunk_address,
                                                               uint32_t object, uint32_t method) {
  constexpr uint32_t kMethodOffset = 13;
  std::array<uint8_t, kWindowProcThunkSize> code{};
  code[0] = 0x58;  // pop eax
  code[1] = 0x68;  // push imm32
  PutDword(&code[2], object);
  code[6] = 0x50;  // push eax
  code[7] = 0xFF;  // jmp dword ptr [disp32]
  code[8] = 0x25;
  PutDword(&code[9], thunk_address + kMethodOffset);
  PutDword(&code[kMethodOffset], method);
  return code;
}

}  // namespace trace
