#include "crash/restart_block.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

TEST(RestartBlock, FieldsSitAtTheirOffsetsLittleEndianAndReadBack) {
  crash::RestartBlock block;
  block.old_process_id = 0x11223344;
  block.mapping_handle = 0x000001F0;
  block.history.seconds[0] = 0x0102030405060708;  // newest
  block.history.seconds[9] = 0xA1B2C3D4E5F60718;  // oldest
  std::array<uint8_t, crash::kRestartBlockBytes> bytes;
  bytes.fill(0xEE);
  block.Write(bytes);
  EXPECT_EQ(bytes[0], 0x44);
  EXPECT_EQ(bytes[3], 0x11);
  EXPECT_EQ(bytes[4], 0xF0);
  EXPECT_EQ(bytes[5], 0x01);
  EXPECT_EQ(bytes[7], 0x00);
  EXPECT_EQ(bytes[8], 0x08);  // the newest entry first, low byte first
  EXPECT_EQ(bytes[15], 0x01);
  EXPECT_EQ(bytes[16], 0x00);  // empty entries are zero, not left as they were
  EXPECT_EQ(bytes[80], 0x18);  // the oldest entry fills the last 8 bytes
  EXPECT_EQ(bytes[87], 0xA1);

  const crash::RestartBlock back = crash::RestartBlock::Read(bytes);
  EXPECT_EQ(back.old_process_id, block.old_process_id);
  EXPECT_EQ(back.mapping_handle, block.mapping_handle);
  EXPECT_EQ(back.history.seconds, block.history.seconds);
}

TEST(RestartBlock, NameIsThePrefixAndTheNewProcessIdInDollarHex) {
  EXPECT_EQ(crash::RestartBlockName(0), "kestraponRestart$0");
  EXPECT_EQ(crash::RestartBlockName(0x5), "kestraponRestart$5");
  EXPECT_EQ(crash::RestartBlockName(0x1a4), "kestraponRestart$1a4");
  EXPECT_EQ(crash::RestartBlockName(0x100), "kestraponRestart$100");  // no digit dropped
  EXPECT_EQ(crash::RestartBlockName(0xFFFFFFFF), "kestraponRestart$ffffffff");
  // The name written without allocating is the same, and its buffer holds the longest.
  for (uint32_t id :
       {0u, 0x5u, 0xFu, 0x10u, 0x1a4u, 0x100u, 0x0ABCDEF0u, 0x80000000u, 0xFFFFFFFFu}) {
    std::array<char, crash::kRestartBlockNameSize> name;
    name.fill('#');
    crash::WriteRestartBlockName(id, name);
    EXPECT_EQ(std::string(name.data()), crash::RestartBlockName(id)) << id;
  }
}

}  // namespace
