#include "trace/cipher/compressed_frame.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>

namespace trace {
namespace {

uint32_t Crc(std::string_view data) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

void AppendLittleEndian32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

std::string Frame(uint32_t length, uint32_t crc, std::string_view deflate_stream) {
  std::string frame;
  AppendLittleEndian32(frame, length);
  AppendLittleEndian32(frame, crc);
  frame += "\xA5\xA5\xA5\xA5";  // unread by the decompressor
  frame += deflate_stream;
  return frame;
}

// A stored (uncompressed) deflate block holding `data`.
std::string StoredBlock(std::string_view data, bool final_block) {
  std::string block(1, final_block ? '\x01' : '\x00');
  const auto length = static_cast<uint16_t>(data.size());
  block += static_cast<char>(length & 0xFF);
  block += static_cast<char>(length >> 8);
  block += static_cast<char>(~length & 0xFF);
  block += static_cast<char>((~length >> 8) & 0xFF);
  block += data;
  return block;
}

std::string PseudoRandomBytes(size_t count) {
  std::string bytes(count, '\0');
  uint32_t state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

TEST(CompressedFrameTest, RoundTrip) {
  const std::string inputs[] = {
      "x",
      "The quick brown fox jumps over the lazy dog. The quick brown fox jumps again.",
      std::string(1 << 20, 'a'),  // compresses to a tiny stream
      PseudoRandomBytes(200000),  // hardly compresses; more than one output allocation
      std::string("\0\xFF\0\xFF", 4),
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.size());
    const std::string frame = CompressString(input);
    ASSERT_GT(frame.size(), kFrameHeaderSize);
    EXPECT_EQ(UncompressString(frame), input);
  }
}

TEST(CompressedFrameTest, HeaderLayout) {
  const std::string frame = CompressString("123456789");
  ASSERT_GT(frame.size(), 12u);
  // Length 9, the standard CRC-32 check value 0xCBF43926, then four zero bytes.
  EXPECT_EQ(frame.substr(0, 12), std::string("\x09\0\0\0\x26\x39\xF4\xCB\0\0\0\0", 12));
}

TEST(CompressedFrameTest, ShortFramesAreEmpty) {
  const std::string valid = CompressString("payload");
  EXPECT_EQ(UncompressString(""), "");
  EXPECT_EQ(UncompressString(valid.substr(0, 12)), "");  // header only
  EXPECT_EQ(UncompressString(Frame(0, 0, "")), "");
}

TEST(CompressedFrameTest, CrcMismatchIsEmpty) {
  std::string frame = CompressString("payload");
  frame[4] ^= 1;
  EXPECT_EQ(UncompressString(frame), "");
  // A damaged stream that still inflates gives other bytes, which the CRC rejects.
  EXPECT_EQ(UncompressString(Frame(7, Crc("payload"), StoredBlock("paylord", true))), "");
}

TEST(CompressedFrameTest, OutputIsWhatTheStreamProduces) {
  const std::string data = "stored block data";
  const std::string stream = StoredBlock(data, true);
  // A stated length above what the stream holds: the output is the bytes produced.
  EXPECT_EQ(UncompressString(Frame(1000, Crc(data), stream)), data);
  // Bytes after the end of the stream are ignored.
  EXPECT_EQ(UncompressString(Frame(1000, Crc(data), stream + "trailing")), data);
  // An inflate error ends production; what came before it stands.
  const std::string broken = StoredBlock("abc", false) + "\x07";  // then an invalid block type
  EXPECT_EQ(UncompressString(Frame(100, Crc("abc"), broken)), "abc");
}

TEST(CompressedFrameTest, StatedLengthSmallerThanData) {
  const std::string data = "0123456789abcdef";
  const std::string stream = CompressString(data).substr(kFrameHeaderSize);
  // Production stops at the stated length; the CRC of the whole data then fails.
  EXPECT_EQ(UncompressString(Frame(10, Crc(data), stream)), "");
  EXPECT_EQ(UncompressString(Frame(10, Crc("0123456789"), stream)), "0123456789");
  // Zero bytes stated: nothing is produced and nothing is checked.
  EXPECT_EQ(UncompressString(Frame(0, Crc(data), stream)), "");
}

TEST(CompressedFrameTest, TruncatedStream) {
  const std::string data = PseudoRandomBytes(5000);
  const std::string frame = CompressString(data);
  EXPECT_EQ(UncompressString(frame.substr(0, frame.size() - 1)), "");
  EXPECT_EQ(UncompressString(frame.substr(0, 13)), "");

  // A stored block cut short produces its first bytes; they stand when the CRC is theirs.
  const std::string cut = StoredBlock("complete text", true).substr(0, 5 + 8);
  EXPECT_EQ(UncompressString(Frame(13, Crc("complete"), cut)), "complete");
  EXPECT_EQ(UncompressString(Frame(13, Crc("complete text"), cut)), "");
}

TEST(CompressedFrameTest, StatedLengthAboveCapIsEmpty) {
  EXPECT_EQ(kMaxUncompressedLength, 64u * 1024 * 1024);
  const std::string data = "small";
  const std::string stream = StoredBlock(data, true);
  EXPECT_EQ(UncompressString(Frame(kMaxUncompressedLength + 1, Crc(data), stream)), "");
  EXPECT_EQ(UncompressString(Frame(0xFFFFFFFF, Crc(data), stream)), "");
  EXPECT_EQ(UncompressString(Frame(kMaxUncompressedLength, Crc(data), stream)), data);
}

TEST(CompressedFrameTest, EmptyPayload) {
  const std::string frame = CompressString("");
  ASSERT_GT(frame.size(), kFrameHeaderSize);
  EXPECT_EQ(frame.substr(0, 12), std::string(12, '\0'));  // length 0, CRC of nothing is 0
  EXPECT_EQ(UncompressString(frame), "");
  // An empty output is never checked against the CRC.
  EXPECT_EQ(UncompressString(Frame(100, 0x12345678, StoredBlock("", true))), "");
}

}  // namespace
}  // namespace trace
