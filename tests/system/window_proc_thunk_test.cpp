#include "trace/system/window_proc_thunk.h"

#include <gtest/gtest.h>

namespace trace {
namespace {

TEST(WindowProcThunkTest, Bytes) {
  const auto code = BuildWindowProcThunk(0x00A01000, 0x12345678, 0x00401ABC);
  const std::array<uint8_t, 17> expected = {
      0x58,                                // pop eax
      0x68, 0x78, 0x56, 0x34, 0x12,        // push 0x12345678
      0x50,                                // push eax
      0xFF, 0x25, 0x0D, 0x10, 0xA0, 0x00,  // jmp [0x00A0100D]
      0xBC, 0x1A, 0x40, 0x00,              // the method
  };
  EXPECT_EQ(code, expected);
}

}  // namespace
}  // namespace trace
