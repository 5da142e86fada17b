#include "trace/x86/x86_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "tests/x86/fake_address_space.h"

namespace trace {
namespace {

using testing::FakeAddressSpace;

constexpr uint32_t kAt = 0x00401000;

X86Instruction Decode(std::vector<uint8_t> bytes, RegisterState* regs = nullptr) {
  X86Instruction in;
  DecodeInstruction(bytes.data(), bytes.size(), kAt, in, regs);
  return in;
}

TEST(X86DecoderTest, LengthsCoverPrefixesModRmSibDisplacementAndImmediates) {
  struct Case {
    std::vector<uint8_t> bytes;
    int length;
  };
  const Case cases[] = {
      {{0x90}, 1},
      {{0x01, 0xD8}, 2},
      {{0x8B, 0x45, 0xF8}, 3},
      {{0x8B, 0x85, 0xF0, 0xFE, 0xFF, 0xFF}, 6},
      {{0x8B, 0x04, 0x8D, 0x00, 0x30, 0x40, 0x00}, 7},
      {{0x8B, 0x44, 0x24, 0x04}, 4},
      {{0x8B, 0x04, 0x24}, 3},
      {{0x8B, 0x05, 0x00, 0x30, 0x40, 0x00}, 6},
      {{0x64, 0xA1, 0x18, 0x00, 0x00, 0x00}, 6},
      {{0x67, 0xA1, 0x18, 0x00}, 4},
      {{0x66, 0xC7, 0x00, 0x34, 0x12}, 5},
      {{0xC7, 0x45, 0xFC, 0x00, 0x00, 0x00, 0x00}, 7},
      {{0x81, 0xEC, 0x00, 0x01, 0x00, 0x00}, 6},
      {{0x66, 0x81, 0xEC, 0x00, 0x01}, 5},
      {{0x83, 0xEC, 0x10}, 3},
      {{0x67, 0x8B, 0x42, 0x04}, 4},
      {{0x67, 0x8B, 0x06, 0x34, 0x12}, 5},
      {{0x67, 0x8B, 0x82, 0x34, 0x12}, 5},
      {{0x9A, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00}, 7},
      {{0xC8, 0x10, 0x00, 0x00}, 4},
      {{0xC2, 0x08, 0x00}, 3},
      {{0x0F, 0xA4, 0xC2, 0x04}, 4},
      {{0x0F, 0xBA, 0xE0, 0x03}, 4},
      {{0xF6, 0xC1, 0x01}, 3},
      {{0xF7, 0xC1, 0x01, 0x00, 0x00, 0x00}, 6},
      {{0xF7, 0xD8}, 2},
      {{0xDD, 0x5D, 0xF8}, 3},
      {{0x66, 0x0F, 0x70, 0xC1, 0x1B}, 5},
      {{0x0F, 0x0F, 0xC1, 0xB4}, 4},
      {{0xF3, 0xA5}, 2},
      {{0xF0, 0x0F, 0xB1, 0x0A}, 4},
      {{0x0F, 0x1F, 0x44, 0x00, 0x00}, 5},
      {{0x66, 0x0F, 0x1F, 0x84, 0x00, 0x00, 0x00, 0x00, 0x00}, 9},
  };
  for (const Case& c : cases) {
    const X86Instruction in = Decode(c.bytes);
    EXPECT_TRUE(in.valid) << std::hex << int(c.bytes[0]) << " " << int(c.bytes[1]);
    EXPECT_EQ(in.length, c.length) << std::hex << int(c.bytes[0]) << " " << int(c.bytes[1]);
    EXPECT_EQ(in.next, kAt + c.length);
  }
}

TEST(X86DecoderTest, InvalidFormsAreRejected) {
  const std::vector<std::vector<uint8_t>> cases = {
      {0x0F, 0x0B},              // ud2
      {0x8D, 0xC0},              // lea with a register
      {0xC4, 0xC0},              // les with a register
      {0x62, 0xC0},              // bound with a register
      {0x8F, 0xC8},              // pop with reg field 1
      {0xC6, 0xC8, 0x00},        // mov with reg field 1
      {0xFE, 0xD0},              // inc/dec group beyond dec
      {0xFF, 0xFF},              // reg field 7
      {0xFF, 0xD8},              // far call through a register
      {0xF6, 0xC8, 0x00},        // reg field 1 of test/not/neg
      {0xD9, 0xD8},              // x87 register form without a name
      {0xD9, 0xD1},              // fnop takes r/m 0 only
      {0x0F, 0x6C, 0xC1},        // punpcklqdq needs 0x66
      {0x0F, 0x0F, 0xC1, 0x00},  // unknown 3DNow! suffix
      {0x0F, 0xFF},
      {0x0F, 0xC7, 0xC8},  // cmpxchg8b with a register
      {0x0F, 0xC7, 0x30},  // rdrand with memory
  };
  for (const auto& bytes : cases) {
    const X86Instruction in = Decode(bytes);
    EXPECT_FALSE(in.valid) << std::hex << int(bytes[0]) << " " << int(bytes[1]);
    EXPECT_GE(in.length, 1);
    EXPECT_LE(in.length, bytes.size());
  }
  EXPECT_EQ(Decode({0x0F, 0x0B}).length, 2);
}

TEST(X86DecoderTest, TruncatedAndOverlongInstructionsStayInsideTheirBytes) {
  const std::vector<uint8_t> full = {0x81, 0x84, 0x88, 0x00, 0x10, 0x00,
                                     0x00, 0x01, 0x02, 0x03, 0x04};
  for (size_t size = 0; size < full.size(); ++size) {
    // A copy of exactly size bytes, so that the sanitizer sees any read beyond them.
    std::vector<uint8_t> bytes(full.begin(), full.begin() + size);
    X86Instruction in;
    DecodeInstruction(bytes.data(), bytes.size(), kAt, in);
    EXPECT_FALSE(in.valid) << size;
  }
  EXPECT_TRUE(Decode(full).valid);
  std::vector<uint8_t> prefixes(14, 0x66);
  prefixes.push_back(0x90);
  EXPECT_TRUE(Decode(prefixes).valid);
  prefixes.insert(prefixes.begin(), 0x66);
  EXPECT_FALSE(Decode(prefixes).valid);
}

TEST(X86DecoderTest, BytesBehindTheInstructionChangeNothing) {
  // With many bytes behind it, the decoder checks the length once, at the end; with few,
  // before every read. Both must give the same record, also for an instruction that the
  // 15-byte limit cuts off.
  std::vector<uint8_t> overlong(20, 0x66);  // 13 prefixes, then 7 bytes: beyond 15
  const uint8_t add[] = {0x81, 0x84, 0x88, 0x00, 0x10, 0x00, 0x00};
  std::copy(std::begin(add), std::end(add), overlong.begin() + 13);
  const std::vector<std::vector<uint8_t>> cases = {
      {0x8B, 0x84, 0x88, 0x00, 0x10, 0x00, 0x00},              // mov eax, [eax+ecx*4+$1000]
      {0x8B, 0x04, 0x25, 0x00, 0x10, 0x00, 0x00},              // SIB without base: disp32
      {0x8B, 0x44, 0x24, 0xFC},                                // [esp-4]
      {0x81, 0x84, 0x88, 0x00, 0x10, 0x00, 0x00, 1, 2, 3, 4},  // add dword ptr [...], imm32
      {0x67, 0x8B, 0x46, 0x08},                                // 16-bit addressing
      {0x0F, 0x20, 0xC0},                                      // mov eax, cr0
      {0x0F, 0x0F, 0xC1, 0x9E},                                // 3DNow! pfadd
      {0x9A, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00},              // far call
      overlong,
  };
  for (const std::vector<uint8_t>& bytes : cases) {
    std::vector<uint8_t> padded = bytes;
    padded.resize(64, 0xCC);
    const X86Instruction exact = Decode(bytes);
    const X86Instruction behind = Decode(padded);
    EXPECT_EQ(behind.valid, exact.valid) << bytes.size();
    EXPECT_EQ(behind.length, exact.length) << bytes.size();
    EXPECT_EQ(behind.opcode, exact.opcode) << bytes.size();
    EXPECT_EQ(behind.base, exact.base) << bytes.size();
    EXPECT_EQ(behind.index, exact.index) << bytes.size();
    EXPECT_EQ(behind.disp, exact.disp) << bytes.size();
    EXPECT_EQ(behind.imm, exact.imm) << bytes.size();
    EXPECT_EQ(behind.imm2, exact.imm2) << bytes.size();
  }
  const X86Instruction cut = Decode(overlong);
  EXPECT_FALSE(cut.valid);
  EXPECT_EQ(cut.length, 15);  // the SIB byte would be the 16th
}

TEST(X86DecoderTest, TheReturnedLengthIsTheRecordsLength) {
  // Valid, invalid, cut off and prefix-only bytes, decoded from exactly their bytes (checked
  // reads) and with many bytes behind them (one check at the end).
  std::vector<uint8_t> overlong(20, 0x66);  // 13 prefixes, then 7 bytes: beyond 15
  const uint8_t add[] = {0x81, 0x84, 0x88, 0x00, 0x10, 0x00, 0x00};
  std::copy(std::begin(add), std::end(add), overlong.begin() + 13);
  const std::vector<std::vector<uint8_t>> cases = {
      {0x90},
      {0x8B, 0x84, 0x88, 0x00, 0x10, 0x00, 0x00},
      {0x0F, 0x0B},        // invalid two-byte opcode
      {0x8D, 0xC0},        // lea with a register operand
      {0x81, 0x84, 0x88},  // cut off
      {0x66, 0xF3},        // prefixes only
      {},
      overlong,
  };
  for (const std::vector<uint8_t>& bytes : cases) {
    for (const size_t padding : {size_t{0}, size_t{64}}) {
      std::vector<uint8_t> buffer = bytes;
      buffer.resize(bytes.size() + padding, 0xCC);
      X86Instruction in;
      const size_t length = DecodeInstruction(buffer.data(), buffer.size(), kAt, in);
      EXPECT_EQ(length, in.length) << bytes.size() << " " << padding;
      EXPECT_GE(length, 1u) << bytes.size() << " " << padding;
      EXPECT_EQ(in.next, kAt + in.length) << bytes.size() << " " << padding;
    }
  }
}

TEST(X86DecoderTest, RelativeCallsAndJumpsGiveTheirTargets) {
  X86Instruction call = Decode({0xE8, 0x10, 0x00, 0x00, 0x00});
  EXPECT_TRUE(call.is_call);
  EXPECT_FALSE(call.is_jump);
  EXPECT_TRUE(call.target_relative);
  EXPECT_EQ(call.target, kAt + 5 + 0x10);
  EXPECT_EQ(call.target_size, 4);

  X86Instruction back = Decode({0xEB, 0xFE});
  EXPECT_TRUE(back.is_jump);
  EXPECT_EQ(back.target, kAt);
  EXPECT_EQ(back.target_size, 1);

  X86Instruction jcc = Decode({0x0F, 0x84, 0x00, 0xF0, 0xFF, 0xFF});
  EXPECT_TRUE(jcc.is_jump);
  EXPECT_EQ(jcc.target, kAt + 6 - 0x1000);

  X86Instruction loop = Decode({0xE2, 0xFC});
  EXPECT_TRUE(loop.is_jump);
  EXPECT_EQ(loop.target, kAt - 2);

  X86Instruction far = Decode({0xEA, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00});
  EXPECT_TRUE(far.is_jump && far.far);
  EXPECT_EQ(far.target, 0x00401000u);
  EXPECT_EQ(far.imm2, 0x1B);
  EXPECT_EQ(far.target_size, 6);
}

TEST(X86DecoderTest, ACallToTheNextInstructionIsNotACall) {
  const X86Instruction in = Decode({0xE8, 0x00, 0x00, 0x00, 0x00});
  EXPECT_TRUE(in.valid);
  EXPECT_FALSE(in.is_call);
  EXPECT_FALSE(in.is_jump);
  EXPECT_FALSE(in.target_relative);
  EXPECT_EQ(in.target, 0u);
  EXPECT_EQ(in.target_size, 0);
  EXPECT_FALSE(Decode({0xEB, 0x00}).is_jump);
}

TEST(X86DecoderTest, IndirectCallsReadTheirTargetsThroughMemoryAndRegisters) {
  FakeAddressSpace memory;
  memory.Add(kAt, {0xFF, 0x15, 0x00, 0x20, 0x40, 0x00,    // call [$402000]
                   0x8B, 0x35, 0x04, 0x20, 0x40, 0x00,    // mov esi, [$402004]
                   0xFF, 0xD6,                            // call esi
                   0xB8, 0x00, 0x50, 0x40, 0x00,          // mov eax, $405000
                   0xFF, 0x20,                            // jmp [eax]
                   0xFF, 0x25, 0x00, 0x30, 0x40, 0x00});  // jmp [$403000] (unreadable)
  memory.Add(0x00402000, {0x00, 0x60, 0x40, 0x00, 0x00, 0x70, 0x40, 0x00});
  memory.Add(0x00405000, {0x00, 0x80, 0x40, 0x00});

  RegisterState regs;
  X86Instruction in;
  ASSERT_TRUE(DecodeInstruction(memory, kAt, in, &regs));
  EXPECT_TRUE(in.is_call);
  EXPECT_FALSE(in.target_relative);
  EXPECT_EQ(in.target_pointer, 0x00402000u);
  EXPECT_EQ(in.target, 0x00406000u);

  ASSERT_TRUE(DecodeInstruction(memory, in.next, in, &regs));
  EXPECT_EQ(regs.value[6], 0x00407000u);
  EXPECT_EQ(regs.source[6], 0x00402004u);
  ASSERT_TRUE(DecodeInstruction(memory, in.next, in, &regs));
  EXPECT_TRUE(in.is_call);
  EXPECT_EQ(in.target, 0x00407000u);
  EXPECT_EQ(in.target_pointer, 0x00402004u);
  // The call may change the scratch registers but not esi.
  EXPECT_EQ(regs.value[6], 0x00407000u);

  ASSERT_TRUE(DecodeInstruction(memory, in.next, in, &regs));
  EXPECT_EQ(regs.value[0], 0x00405000u);
  ASSERT_TRUE(DecodeInstruction(memory, in.next, in, &regs));
  EXPECT_TRUE(in.is_jump);
  EXPECT_EQ(in.target_pointer, 0x00405000u);
  EXPECT_EQ(in.target, 0x00408000u);

  ASSERT_TRUE(DecodeInstruction(memory, in.next, in, &regs));
  EXPECT_TRUE(in.is_jump);
  EXPECT_EQ(in.target_pointer, 0x00403000u);
  EXPECT_EQ(in.target, 0u);

  // Without register tracking the register call has no target.
  ASSERT_TRUE(DecodeInstruction(memory, kAt + 12, in));
  EXPECT_TRUE(in.is_call);
  EXPECT_EQ(in.target, 0u);
}

TEST(X86DecoderTest, RegisterTrackingForgetsWhatInstructionsChange) {
  RegisterState regs;
  for (int r = 0; r < 8; ++r)
    regs.value[r] = 0x1000 + r;
  Decode({0x8B, 0xC8}, &regs);  // mov ecx, eax
  EXPECT_EQ(regs.value[1], 0x1000u);
  Decode({0x40}, &regs);  // inc eax
  EXPECT_EQ(regs.value[0], 0u);
  Decode({0x83, 0xC1, 0x04}, &regs);  // add ecx, 4
  EXPECT_EQ(regs.value[1], 0u);
  Decode({0x83, 0xFA, 0x04}, &regs);  // cmp edx, 4
  EXPECT_EQ(regs.value[2], 0x1002u);
  Decode({0xB7, 0x01}, &regs);  // mov bh, 1
  EXPECT_EQ(regs.value[3], 0u);
  EXPECT_EQ(regs.value[7], 0x1007u);
  Decode({0xF7, 0xE6}, &regs);  // mul esi
  EXPECT_EQ(regs.value[2], 0u);
  EXPECT_EQ(regs.value[6], 0x1006u);
  Decode({0x87, 0xF7}, &regs);  // xchg edi, esi
  EXPECT_EQ(regs.value[6], 0u);
  EXPECT_EQ(regs.value[7], 0u);
  Decode({0xB8 + 5, 0x78, 0x56, 0x34, 0x12}, &regs);  // mov ebp, $12345678
  EXPECT_EQ(regs.value[5], 0x12345678u);
  Decode({0xC9}, &regs);  // leave
  EXPECT_EQ(regs.value[5], 0u);
  Decode({0x0F, 0xA2}, &regs);  // cpuid
  EXPECT_EQ(regs, RegisterState{});
}

TEST(X86DecoderTest, UnreadableBytesGiveAnInvalidInstruction) {
  FakeAddressSpace memory;
  memory.Add(kAt, {0xE8, 0x00, 0x00});  // call cut short by the end of memory
  X86Instruction in;
  EXPECT_FALSE(DecodeInstruction(memory, kAt, in));
  EXPECT_FALSE(DecodeInstruction(memory, 0x1000, in));
  EXPECT_EQ(in.length, 1);
}

}  // namespace
}  // namespace trace
