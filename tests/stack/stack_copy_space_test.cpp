// Reads through a stack copy: inside the copy from it, outside from the space beneath, and
// a read across its edges in parts from both.
#include "trace/stack/stack_copy_space.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/x86/fake_address_space.h"

namespace {

TEST(StackCopySpace, ReadsAcrossTheCopysEdges) {
  trace::testing::FakeAddressSpace live;
  live.Add(0x1000, std::vector<uint8_t>(0x30, 0xAA));  // the reused live stack
  const std::vector<uint8_t> copy = {1, 2, 3, 4, 5, 6, 7, 8};
  const trace::StackCopySpace space(live, 0x1010, copy);
  uint8_t bytes[16] = {};
  ASSERT_TRUE(space.Read(0x1012, bytes, 4));
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{3, 4, 5, 6}));
  ASSERT_TRUE(space.Read(0x100e, bytes, 12));  // before, all of the copy, after
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 12),
            (std::vector<uint8_t>{0xAA, 0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 0xAA, 0xAA}));
  EXPECT_EQ(space.ReadDword(0x1016), 0xAAAA0807u);
  // Beneath, unmapped stays unreadable; the copy itself needs nothing beneath.
  EXPECT_FALSE(space.Read(0x0ffe, bytes, 4));
  const trace::StackCopySpace alone(live, 0x8000, copy);
  EXPECT_TRUE(alone.Read(0x8000, bytes, 8));
  EXPECT_FALSE(alone.Read(0x8004, bytes, 8));
  EXPECT_FALSE(alone.Read(0xfffffffe, bytes, 4));
}

}  // namespace
