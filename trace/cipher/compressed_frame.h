// Compressed frame: a 12-byte little-endian header followed by a raw deflate stream.
//
//   offset 0   uint32  length of the uncompressed data
//   offset 4   uint32  CRC-32 of the uncompressed data (zlib's crc32)
//   offset 8   uint32  unused (written as 0)
//   offset 12  ...     raw deflate stream (RFC 1951, no zlib header or checksum)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trace {

// Largest uncompressed length a frame may state; frames that state more are rejected.
inline constexpr uint32_t kMaxUncompressedLength = 64u * 1024 * 1024;

// Size of the frame header in front of the deflate stream.
inline constexpr size_t kFrameHeaderSize = 12;

// Inflates a frame: at most the stated length, ending early at the stream's end or at an
// inflate error. Empty for a frame under 13 bytes, a stated length above
// kMaxUncompressedLength, or a non-empty result whose CRC-32 differs from the stated one.
std::string UncompressString(std::string_view frame);

// Builds a frame of `data` with raw deflate at best compression; empty when the data is longer
// than kMaxUncompressedLength or compression fails.
std::string CompressString(std::string_view data);

}  // namespace trace
