// Fuzzes the x86 decoder and the instruction text over arbitrary bytes: decoding stays
// inside the bytes it is given, agrees with decoding through an address space (which
// decodes from a short buffer, checking every read), and every instruction gets a text line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/x86/fake_address_space.h"
#include "trace/x86/x86_decoder.h"
#include "trace/x86/x86_text.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kAt = 0x00401000;
  const std::vector<uint8_t> bytes(data, data + size);
  trace::testing::FakeAddressSpace memory;
  memory.AddModule(0x00400000, 0x10000, "C:\\app\\app.exe", true);
  memory.Add(kAt, bytes);

  trace::RegisterState regs;
  trace::RegisterState view_regs;
  trace::X86Instruction in;
  trace::X86Instruction through_view;
  std::string text;
  for (size_t offset = 0; offset < size; ++offset) {
    // A copy of exactly the remaining bytes, so that the sanitizer sees reads beyond them.
    const std::vector<uint8_t> rest(bytes.begin() + offset, bytes.end());
    const uint32_t address = kAt + static_cast<uint32_t>(offset);
    const size_t length =
        trace::DecodeInstruction(rest.data(), rest.size(), address, in, &regs, &memory);
    CHECK(length == in.length);
    CHECK(in.length >= 1 && in.length <= 15);
    CHECK(in.length <= rest.size() || (!in.valid && rest.empty()));
    CHECK(in.next == address + in.length);
    if (!in.valid) CHECK(!in.is_call && !in.is_jump && in.target == 0);
    if (in.is_call || in.is_jump) CHECK(in.target != in.next || in.far);

    trace::DecodeInstruction(memory, address, through_view, &view_regs);
    CHECK(through_view.valid == in.valid);
    CHECK(through_view.length == in.length);
    CHECK(through_view.target == in.target);
    // From a long buffer the length is checked once at the end, from the view's 16 bytes
    // before every read: the records agree.
    CHECK(through_view.opcode == in.opcode && through_view.flags == in.flags);
    CHECK(through_view.base == in.base && through_view.index == in.index);
    CHECK(through_view.scale == in.scale && through_view.disp == in.disp);
    CHECK(through_view.imm == in.imm && through_view.imm2 == in.imm2);

    text.clear();
    trace::AppendInstructionText(through_view, memory, text);
    CHECK(text.size() >= 8);
  }
  return 0;
}
