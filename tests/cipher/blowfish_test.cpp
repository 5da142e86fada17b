#include "trace/cipher/blowfish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace trace {
namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 0xF];
  }
  return hex;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Eric Young's published vectors: key, plaintext and ciphertext in big-endian byte order.
constexpr Vector kPublishedVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    // Variable key lengths: the key bytes are cycled through the P-array.
    {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
    {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
    {"F0E1D2C3B4A5968778", "FEDCBA9876543210", "15750E7A4F4EC577"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E", "FEDCBA9876543210", "79D9373A714CA34F"},
    {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
};

TEST(BlowfishTest, PublishedVectorsWithBigEndianHalves) {
  for (const Vector& v : kPublishedVectors) {
    SCOPED_TRACE(v.key);
    std::string data = FromHex(v.plain);
    EncryptStringBigEndian(data, FromHex(v.key));
    EXPECT_EQ(ToHex(data), v.cipher);
    DecryptStringBigEndian(data, FromHex(v.key));
    EXPECT_EQ(ToHex(data), v.plain);
  }
}

TEST(BlowfishTest, EcbEnciphersEachBlockOnItsOwn) {
  std::string data = FromHex(
      "1111111111111111"
      "0123456789ABCDEF"
      "1111111111111111");
  EncryptStringBigEndian(data, FromHex("1111111111111111"));
  EXPECT_EQ(ToHex(data),
            "2466DD878B963C9D"
            "7D0CC630AFDA1EC7"
            "2466DD878B963C9D");
}

TEST(BlowfishTest, KeyBytesBeyondSeventyTwoHaveNoEffect) {
  const std::string key72(72, 'k');
  const std::string plain = "8 bytes!";
  std::string short_key = plain;
  std::string long_key = plain;
  std::string different = plain;
  EncryptString(short_key, key72);
  EncryptString(long_key, key72 + "ignored");
  EncryptString(different, std::string(71, 'k') + "x");
  EXPECT_EQ(short_key, long_key);
  EXPECT_NE(short_key, different);
}

// Little-endian halves: the dword at offset 4 is the left half and the one at offset 0 the right
// half. That is the big-endian block function on each block with its two words byte-swapped,
// i.e. with its 8 bytes reversed.
TEST(BlowfishTest, LittleEndianHalvesAreByteSwappedBigEndianWords) {
  const std::string password = "symbol password";
  const std::string plain = FromHex(
      "0011223344556677"
      "8899AABBCCDDEEFF");
  const auto reverse_blocks = [](std::string& data) {
    for (size_t offset = 0; offset + 8 <= data.size(); offset += 8) {
      std::reverse(data.begin() + offset, data.begin() + offset + 8);
    }
  };
  std::string expected = plain;
  reverse_blocks(expected);
  EncryptStringBigEndian(expected, password);
  reverse_blocks(expected);

  std::string data = plain;
  EncryptString(data, password);
  EXPECT_EQ(ToHex(data), ToHex(expected));
  DecryptString(data, password);
  EXPECT_EQ(data, plain);
}

TEST(BlowfishTest, OnlyWholeBlocksChange) {
  const std::string plain = "twenty bytes of text";  // 2 blocks and 4 trailing bytes
  ASSERT_EQ(plain.size(), 20u);
  std::string data = plain;
  EncryptString(data, "pw");
  EXPECT_NE(data.substr(0, 8), plain.substr(0, 8));
  EXPECT_NE(data.substr(8, 8), plain.substr(8, 8));
  EXPECT_EQ(data.substr(16), plain.substr(16));
  DecryptString(data, "pw");
  EXPECT_EQ(data, plain);

  data = plain;
  EncryptStringBigEndian(data, "pw");
  EXPECT_EQ(data.substr(16), plain.substr(16));
  DecryptStringBigEndian(data, "pw");
  EXPECT_EQ(data, plain);

  for (std::string short_data : {std::string(), std::string("seven b")}) {
    const std::string before = short_data;
    EncryptString(short_data, "pw");
    DecryptStringBigEndian(short_data, "pw");
    DecryptStringWithCounter(short_data, "pw", 1, 0);
    EXPECT_EQ(short_data, before);
  }
}

TEST(BlowfishTest, EmptyPasswordLeavesDataUnchanged) {
  const std::string plain = std::string("sixteen bytes..") + '\x01';
  for (auto operation :
       {EncryptString, DecryptString, EncryptStringBigEndian, DecryptStringBigEndian}) {
    std::string data = plain;
    operation(data, "");
    EXPECT_EQ(data, plain);
  }
  std::string data = plain;
  DecryptStringWithCounter(data, "", 5, 0);  // no deciphering, so no padding removal either
  EXPECT_EQ(data, plain);
}

// Enciphers the given counter blocks (big-endian) to the keystream they stand for.
std::string Keystream(std::string_view password, std::string_view counter_blocks_hex) {
  std::string blocks = FromHex(counter_blocks_hex);
  EncryptStringBigEndian(blocks, password);
  return blocks;
}

TEST(BlowfishTest, CounterKeystreamIsTheEncipheredIncrementedCounter) {
  struct Case {
    uint32_t low;
    uint32_t high;
    const char* blocks;  // the counter values of three blocks, as they are enciphered
  };
  const Case cases[] = {
      {0x04030201, 0x08070605,
       "0102030405060709"
       "010203040506070A"
       "010203040506070B"},
      // Carry from byte 7 into byte 6.
      {0x00000000, 0xFE000000,
       "00000000000000FF"
       "0000000000000100"
       "0000000000000101"},
      // Carry across the two dwords: from byte 4 into byte 3.
      {0x12000000, 0xFEFFFFFF,
       "00000012FFFFFFFF"
       "0000001300000000"
       "0000001300000001"},
      // Wrap-around of the whole counter.
      {0xFFFFFFFF, 0xFEFFFFFF,
       "FFFFFFFFFFFFFFFF"
       "0000000000000000"
       "0000000000000001"},
  };
  const std::string password = "counter key";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blocks);
    // Zero blocks show the keystream; the trailing bytes are not a block and stay as they are.
    std::string data = std::string(24, '\0') + "xyz";
    DecryptStringWithCounter(data, password, c.low, c.high);
    EXPECT_EQ(ToHex(data), ToHex(Keystream(password, c.blocks) + "xyz"));
  }
}

TEST(BlowfishTest, CounterModeIsItsOwnInverseAndRemovesPadding) {
  const std::string password = "second pass";
  const std::string message = "restored text";  // 13 bytes, padded with three 3s to 16
  const std::string padded = message + "\x03\x03\x03";

  std::string data = padded;
  DecryptStringWithCounter(data, password, 0x11223344, 0x55667788);
  ASSERT_EQ(data.size(), padded.size());  // the ciphertext does not end in padding
  EXPECT_NE(data, padded);
  DecryptStringWithCounter(data, password, 0x11223344, 0x55667788);
  EXPECT_EQ(data, message);

  // A different counter start gives a different keystream.
  data = padded;
  DecryptStringWithCounter(data, password, 0x11223344, 0x55667788);
  DecryptStringWithCounter(data, password, 0x11223345, 0x55667788);
  EXPECT_NE(data, message);
}

TEST(BlowfishTest, ZeroCounterDecryptsEcbWithBigEndianHalves) {
  const std::string password = "zero counter";
  std::string data = std::string("abcdefghijklm") + "\x03\x03\x03";
  EncryptStringBigEndian(data, password);
  DecryptStringWithCounter(data, password, 0, 0);
  EXPECT_EQ(data, "abcdefghijklm");
}

TEST(BlowfishTest, RemovePadding) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {std::string("abc\x03\x03\x03"), "abc"},
      {std::string("abc\x02\x03"), std::string("abc\x02\x03")},  // not all equal n
      {std::string("abc\x01"), "abc"},                           // n = 1
      {std::string(8, '\x08'), ""},                              // n = 8, whole string
      {std::string("a") + std::string(9, '\x09'), "a" + std::string(9, '\x09')},  // n > 8
      {std::string("abc\0", 4), std::string("abc\0", 4)},                         // n = 0
      {std::string("\x03\x03"), std::string("\x03\x03")},                         // n > length
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToHex(c.in));
    std::string data = c.in;
    RemovePadding(data);
    EXPECT_EQ(data, c.out);
  }
}

}  // namespace
}  // namespace trace
