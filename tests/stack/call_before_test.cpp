#include "trace/stack/call_before.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/x86/fake_address_space.h"

namespace trace {
namespace {

constexpr uint32_t kCode = 0x1000;

// Memory of nops with bytes ending right before the returned address A.
uint32_t Place(testing::FakeAddressSpace& memory, const std::vector<uint8_t>& call) {
  std::vector<uint8_t> bytes(16, 0x90);
  for (size_t i = 0; i < call.size(); ++i)
    bytes[16 - call.size() + i] = call[i];
  bytes.push_back(0xC3);
  memory.Add(kCode, bytes);
  return kCode + 16;
}

bool CallsBeforeBytes(const std::vector<uint8_t>& call) {
  testing::FakeAddressSpace memory;
  return CallsBefore(memory, Place(memory, call));
}

TEST(CallBefore, EveryCallFormPasses) {
  EXPECT_TRUE(CallsBeforeBytes({0xE8, 0x10, 0x00, 0x00, 0x00}));              // call rel32
  EXPECT_TRUE(CallsBeforeBytes({0xFF, 0xD0}));                                // call eax
  EXPECT_TRUE(CallsBeforeBytes({0xFF, 0x18}));                                // call far [eax]
  EXPECT_TRUE(CallsBeforeBytes({0xFF, 0x50, 0x08}));                          // call [eax+8]
  EXPECT_TRUE(CallsBeforeBytes({0xFF, 0x54, 0x24, 0x04}));                    // call [esp+4]
  EXPECT_TRUE(CallsBeforeBytes({0xFF, 0x15, 0x00, 0x20, 0x40, 0x00}));        // call [abs]
  EXPECT_TRUE(CallsBeforeBytes({0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00}));  // [esp+disp32]
  EXPECT_TRUE(CallsBeforeBytes({0x9A, 0x00, 0x10, 0x00, 0x00, 0x23, 0x00}));  // call far ptr
}

TEST(CallBefore, OtherBytesFail) {
  EXPECT_FALSE(CallsBeforeBytes({}));  // eight nops
  // FF /4 (jmp near) of each length.
  EXPECT_FALSE(CallsBeforeBytes({0xFF, 0xE0}));
  EXPECT_FALSE(CallsBeforeBytes({0xFF, 0x60, 0x08}));
  EXPECT_FALSE(CallsBeforeBytes({0xFF, 0x64, 0x24, 0x04}));
  EXPECT_FALSE(CallsBeforeBytes({0xFF, 0x25, 0x00, 0x20, 0x40, 0x00}));
  EXPECT_FALSE(CallsBeforeBytes({0xFF, 0xA4, 0x24, 0x00, 0x01, 0x00, 0x00}));
  // An E8 one byte off is no call rel32.
  EXPECT_FALSE(CallsBeforeBytes({0xE8, 0x10, 0x00, 0x00, 0x00, 0x90}));
}

TEST(CallBefore, UnreadableBytesBeforeMeanNo) {
  testing::FakeAddressSpace memory;
  // The call's bytes start the block: the 8 bytes before A reach into unreadable memory.
  memory.Add(kCode, {0x90, 0x90, 0xE8, 0x00, 0x00, 0x00, 0x00, 0xC3});
  EXPECT_FALSE(CallsBefore(memory, kCode + 7));
  EXPECT_FALSE(CallsBefore(memory, 3));
}

}  // namespace
}  // namespace trace
