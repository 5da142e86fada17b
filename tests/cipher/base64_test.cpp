#include "trace/cipher/base64.h"

#include <gtest/gtest.h>

#include <string>

namespace trace {
namespace {

TEST(Base64Test, Rfc4648Vectors) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
}

TEST(Base64Test, BinaryBytes) {
  EXPECT_EQ(Base64Encode(std::string("\0", 1)), "AA==");
  EXPECT_EQ(Base64Encode(std::string("\0\0\0", 3)), "AAAA");
  EXPECT_EQ(Base64Encode("\xFF\xFF\xFF"), "////");
  EXPECT_EQ(Base64Encode("\xFB\xFF"), "+/8=");  // both non-letter characters
  EXPECT_EQ(Base64Encode("\x14\xFB\x9C\x03\xD9\x7E"), "FPucA9l+");
  EXPECT_EQ(Base64Encode(std::string("a\0b", 3)), "YQBi");
}

TEST(Base64Test, EveryAlphabetCharacterInOrder) {
  const unsigned char bytes[] = {0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30,
                                 0xD3, 0x8F, 0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96,
                                 0x9B, 0x71, 0xD7, 0x9F, 0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7,
                                 0xA2, 0x9A, 0xAB, 0xB2, 0xDB, 0xAF, 0xC3, 0x1C, 0xB3, 0xD3,
                                 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF};
  EXPECT_EQ(Base64Encode(bytes, sizeof bytes),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(Base64Test, PointerFormReadsExactlyCountBytes) {
  const unsigned char bytes[] = {'f', 'o', 'o', 'b', 'a', 'r'};
  EXPECT_EQ(Base64Encode(bytes, 4), "Zm9vYg==");
  EXPECT_EQ(Base64Encode(bytes, 0), "");
  EXPECT_EQ(Base64Encode(nullptr, 0), "");
}

TEST(Base64Test, LongInputHasNoLineBreaks) {
  const std::string long_input(200, 'x');
  const std::string encoded = Base64Encode(long_input);
  EXPECT_EQ(encoded.size(), 268u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

}  // namespace
}  // namespace trace
