#include "trace/x86/x86_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace trace::x86 {
namespace {

std::string OneByteName(int op) {
  return std::string(MnemonicName(kOneByteMnemonic[op]));
}
std::string TwoByteName(int op) {
  return std::string(MnemonicName(kTwoByteMnemonic[op]));
}

TEST(X86TablesTest, TellingRowsHaveTheirFlagWords) {
  EXPECT_EQ(kOneByteFlags[0x00], 0x4211);
  EXPECT_EQ(kOneByteFlags[0x01], 0x42E4);
  EXPECT_EQ(kOneByteFlags[0x03], 0x20E4);
  EXPECT_EQ(kOneByteFlags[0x05], 0x8C42);
  EXPECT_EQ(kOneByteFlags[0x50], 0x0045);
  EXPECT_EQ(kOneByteFlags[0x68], 0x0C00);
  EXPECT_EQ(kOneByteFlags[0x70], 0x1400);
  EXPECT_EQ(kOneByteFlags[0x81], 0x0DA0);
  EXPECT_EQ(kOneByteFlags[0x8B], 0x20E4);
  EXPECT_EQ(kOneByteFlags[0xB8], 0x6C45);
  EXPECT_EQ(kOneByteFlags[0xC2], 0x0800);
  EXPECT_EQ(kOneByteFlags[0xE8], 0x1C00);
  EXPECT_EQ(kOneByteFlags[0xEB], 0x1400);
  for (int op : {0xF6, 0xF7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF}) {
    EXPECT_EQ(kOneByteFlags[op], 0x0008) << op;
  }
  EXPECT_EQ(kOneByteFlags[0xFF], 0x01A0);
  EXPECT_EQ(kTwoByteFlags[0x84], 0x1C00);
  EXPECT_EQ(kTwoByteFlags[0xB6], 0x2154);
  EXPECT_EQ(kTwoByteFlags[0xA5], 0x43E4);
}

TEST(X86TablesTest, InvalidOpcodesAreCountedAsDocumented) {
  int one = 0, two = 0;
  for (int op = 0; op < 256; ++op) {
    one += kOneByteFlags[op] == kInvalid;
    two += kTwoByteFlags[op] == kInvalid;
    // A valid opcode other than a prefix or escape has a name.
    if (kTwoByteFlags[op] != kInvalid && op != 0x0F) {
      EXPECT_NE(kTwoByteMnemonic[op], 0) << op;
    }
  }
  EXPECT_EQ(one, 0);
  EXPECT_EQ(two, 35);
  EXPECT_EQ(kTwoByteFlags[0x0B], kInvalid);
}

TEST(X86TablesTest, GroupTableRowsFollowTheOpcodes) {
  EXPECT_EQ(kGroupTable[0].opcode, 0xF6);
  const std::array<uint16_t, 8> f6 = {0x0510, 0xFFFF, 0x4110, 0x4110,
                                      0x8110, 0x8110, 0x8110, 0x8110};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(kGroupTable[0].flags[i], f6[i]);
    EXPECT_EQ(kGroupTable[0].flags[8 + i], f6[i]);
  }
  EXPECT_EQ(kGroupTable[1].opcode, 0xF7);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(kGroupTable[2 + i].opcode, 0xD8 + i);
  EXPECT_EQ(GroupFlags(0xF6, 1, false), kInvalid);
  EXPECT_EQ(GroupFlags(0x80, 0, false), kInvalid);
}

TEST(X86TablesTest, MnemonicListHasItsFixedNames) {
  int count = 0;
  for (char c : kMnemonicList)
    count += c == '\0';
  EXPECT_EQ(count, kMnemonicCount);
  EXPECT_EQ(kMnemonicList.substr(0, 4), std::string_view("aaa\0", 4));
  EXPECT_EQ(MnemonicName(1), "aaa");
  EXPECT_EQ(MnemonicName(6), "add");
  EXPECT_EQ(MnemonicName(19), "call");
  EXPECT_EQ(MnemonicName(0), "");
  EXPECT_EQ(MnemonicName(kMnemonicCount + 1), "");

  EXPECT_EQ(OneByteName(0x70), "j%cc");
  EXPECT_EQ(OneByteName(0xE9), "jmp");
  EXPECT_EQ(OneByteName(0x8B), "mov");
  EXPECT_EQ(OneByteName(0x90), "nop");
  EXPECT_EQ(OneByteName(0x50), "push");
  EXPECT_EQ(OneByteName(0xC3), "ret");
  EXPECT_EQ(OneByteName(0xE8), "call");
  EXPECT_EQ(OneByteName(0x37), "aaa");
  for (int op = 0x80; op <= 0x83; ++op)
    EXPECT_EQ(OneByteName(op), "add|or|adc|sbb|and|sub|xor|cmp");
  EXPECT_EQ(OneByteName(0xFF), "inc|dec|call|call|jmp|jmp|push");
  EXPECT_EQ(OneByteName(0xC1), "rol|ror|rcl|rcr|shl|shr|sal|sar");
  EXPECT_EQ(OneByteName(0xF6), "test||not|neg|mul|imul|div|idiv");
  EXPECT_EQ(OneByteName(0xCC), "int     3");
  EXPECT_EQ(OneByteName(0x06), "push    %seg");
  EXPECT_EQ(OneByteName(0x07), "pop     %seg");
  EXPECT_EQ(OneByteName(0x0F), "");
  EXPECT_EQ(OneByteName(0x66), "");
  EXPECT_EQ(TwoByteName(0x58), "addPS");
  EXPECT_NE(OneByteName(0xDF).find("nstsw  ax"), std::string::npos);
}

TEST(X86TablesTest, ThreeDNowSuffixesNameTheirInstructions) {
  EXPECT_EQ(k3DNowSuffixes.substr(0, 8), std::string_view("\0\x0Cpi2fw\0", 8));
  EXPECT_EQ(ThreeDNowName(0x0C), "pi2fw");
  EXPECT_EQ(ThreeDNowName(0x0D), "pi2fd");
  EXPECT_EQ(ThreeDNowName(0x1C), "pf2iw");
  EXPECT_EQ(ThreeDNowName(0x8A), "pfnacc");
  EXPECT_EQ(ThreeDNowName(0xBF), "pavgusb");
  EXPECT_EQ(ThreeDNowName(0x00), "");
}

}  // namespace
}  // namespace trace::x86
