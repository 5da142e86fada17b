#include "trace/text/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace trace {
namespace {

TEST(NumberTextTest, FormatDecimalPadsOnTheSideOfTheWidthSign) {
  EXPECT_EQ(FormatDecimal(0), "0");
  EXPECT_EQ(FormatDecimal(-5, 3, '0'), "-05");
  EXPECT_EQ(FormatDecimal(-5, 3), " -5");
  EXPECT_EQ(FormatDecimal(42, 5), "   42");
  EXPECT_EQ(FormatDecimal(42, -5, '.'), "42...");
  EXPECT_EQ(FormatDecimal(12345, 3, '0'), "12345");
  EXPECT_EQ(FormatDecimal(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(FormatDecimal(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
}

TEST(NumberTextTest, FormatHexPutsNonDigitPaddingBeforeTheDollar) {
  EXPECT_EQ(FormatHex(0), "$0");
  EXPECT_EQ(FormatHex(0xd4c, 1), "$d4c");
  EXPECT_EQ(FormatHex(0xd4c, 8), "     $d4c");
  EXPECT_EQ(FormatHex(0xd4c, 3), "$d4c");
  EXPECT_EQ(FormatHex(0xd4c, 4), " $d4c");  // the "$" is not counted
  EXPECT_EQ(FormatHex(0xd4c, -8), "$d4c     ");
  EXPECT_EQ(FormatHex(0x12345, 2, '*'), "$12345");
}

TEST(NumberTextTest, FormatHexPutsDigitPaddingAfterTheDollar) {
  EXPECT_EQ(FormatHex(0x400000, 8, '0'), "$00400000");
  EXPECT_EQ(FormatHex(0xd4c, -8, '0'), "$d4c00000");
  EXPECT_EQ(FormatHex(0xd4c, 6, 'F'), "$FFFd4c");
  EXPECT_EQ(FormatHex(0xABCDEF, 3, '0'), "$abcdef");
}

TEST(NumberTextTest, FormatHexOfWideValues) {
  EXPECT_EQ(FormatHex(static_cast<std::uint32_t>(-1)), "$ffffffff");
  EXPECT_EQ(FormatHex(0x1000000FFull), "$1000000ff");
  EXPECT_EQ(FormatHex(std::numeric_limits<std::uint64_t>::max()), "$ffffffffffffffff");
}

TEST(NumberTextTest, DigitValues) {
  EXPECT_EQ(DigitValue('0'), 0);
  EXPECT_EQ(DigitValue('9'), 9);
  EXPECT_EQ(DigitValue('A'), 10);
  EXPECT_EQ(DigitValue('f'), 15);
  int nonzero = 0;
  for (int c = 0; c < 256; ++c)
    nonzero += kDigitValueTable[c] != 0;
  EXPECT_EQ(nonzero, 9 + 6 + 6);
}

TEST(NumberTextTest, ParseIntegerReadsEveryByteAsADigit) {
  EXPECT_EQ(ParseInteger(false, ""), 0);
  EXPECT_EQ(ParseInteger(false, "-"), 0);
  EXPECT_EQ(ParseInteger(false, "123"), 123);
  EXPECT_EQ(ParseInteger(false, "-123"), -123);
  EXPECT_EQ(ParseInteger(false, "1x"), 10);
  EXPECT_EQ(ParseInteger(false, "1a"), 20);  // no range check on the digit
  EXPECT_EQ(ParseInteger(true, "fF"), 255);
  EXPECT_EQ(ParseInteger(true, "-10"), -16);
}

TEST(NumberTextTest, ParseIntegerWrapsAtThirtyTwoBits) {
  EXPECT_EQ(ParseInteger(true, "7fffffff"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ParseInteger(true, "80000000"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ParseInteger(true, "ffffffff"), -1);
  EXPECT_EQ(ParseInteger(true, "100000001"), 1);
  EXPECT_EQ(ParseInteger(false, "-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ParseInteger(false, "4294967297"), 1);
  EXPECT_EQ(ParseInteger(false, "99999999999999999999"), 1661992959);
}

TEST(NumberTextTest, FormatByteSizeChangesUnitAtEachPowerOf1024) {
  EXPECT_EQ(FormatByteSize(0, '.'), "0 Bytes");
  EXPECT_EQ(FormatByteSize(1023, '.'), "1023 Bytes");
  EXPECT_EQ(FormatByteSize(1024, ','), "1,00 KB");
  EXPECT_EQ(FormatByteSize(1536, '.'), "1.50 KB");
  EXPECT_EQ(FormatByteSize(1100, '.'), "1.07 KB");  // 1.074 is cut, not rounded
  EXPECT_EQ(FormatByteSize((1 << 20) - 1, '.'), "1023.99 KB");
  EXPECT_EQ(FormatByteSize(1 << 20, '.'), "1.00 MB");
  EXPECT_EQ(FormatByteSize((1 << 30) - 1, '.'), "1023.99 MB");
  EXPECT_EQ(FormatByteSize(1 << 30, '.'), "1.00 GB");
  EXPECT_EQ(FormatByteSize(5ll << 40, '.'), "5120.00 GB");
}

TEST(NumberTextTest, FormatByteSizeIgnoresTheSign) {
  EXPECT_EQ(FormatByteSize(-1536, '.'), "1.50 KB");
  EXPECT_EQ(FormatByteSize(-5, '.'), "5 Bytes");
  EXPECT_EQ(FormatByteSize(std::numeric_limits<std::int64_t>::min(), '.'), "8589934592.00 GB");
  EXPECT_EQ(FormatByteSize(std::numeric_limits<std::int64_t>::max(), '.'), "8589934591.99 GB");
}

}  // namespace
}  // namespace trace
