#include "trace/cipher/compressed_frame.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace trace {
namespace {

// Raw deflate (no zlib header or trailer) with a 32 KB window.
constexpr int kRawDeflateWindowBits = -15;
// First output allocation; it doubles as needed up to the stated length, so a short frame
// stating a large length does not claim that much memory up front.
constexpr size_t kInitialOutputSize = 64 * 1024;

uint32_t ReadLittleEndian32(std::string_view bytes, size_t offset) {
  const auto byte = [&](size_t i) {
    return uint32_t{static_cast<unsigned char>(bytes[offset + i])};
  };
  return byte(0) | (byte(1) << 8) | (byte(2) << 16) | (byte(3) << 24);
}

void AppendLittleEndian32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out += static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

uint32_t Crc32(std::string_view data) {
  // Callers never pass more than kMaxUncompressedLength bytes, which fits in uInt.
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

std::string UncompressString(std::string_view frame) {
  if (frame.size() <= kFrameHeaderSize) return {};
  const uint32_t stated_length = ReadLittleEndian32(frame, 0);
  const uint32_t stated_crc = ReadLittleEndian32(frame, 4);
  if (stated_length > kMaxUncompressedLength) return {};

  z_stream stream{};
  if (inflateInit2(&stream, kRawDeflateWindowBits) != Z_OK) return {};

  std::string out;
  size_t produced = 0;
  std::string_view input = frame.substr(kFrameHeaderSize);
  while (produced < stated_length) {
    if (produced == out.size()) {
      const size_t grown = std::max(kInitialOutputSize, out.size() * 2);
      out.resize(std::min<size_t>(grown, stated_length));
    }
    if (stream.avail_in == 0) {
      if (input.empty()) break;
      const size_t chunk = std::min<size_t>(input.size(), UINT_MAX);
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
      stream.avail_in = static_cast<uInt>(chunk);
      input.remove_prefix(chunk);
    }
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    stream.avail_out = static_cast<uInt>(out.size() - produced);
    const uInt before = stream.avail_out;
    const int status = inflate(&stream, Z_NO_FLUSH);
    produced += before - stream.avail_out;
    // Z_BUF_ERROR here means no progress was possible: the input ran out mid-stream.
    if (status != Z_OK) break;
  }
  inflateEnd(&stream);

  out.resize(produced);
  if (!out.empty() && Crc32(out) != stated_crc) return {};
  return out;
}

std::string CompressString(std::string_view data) {
  if (data.size() > kMaxUncompressedLength) return {};

  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kRawDeflateWindowBits, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return {};
  }
  const uLong bound = deflateBound(&stream, static_cast<uLong>(data.size()));
  std::string frame;
  AppendLittleEndian32(frame, static_cast<uint32_t>(data.size()));
  AppendLittleEndian32(frame, Crc32(data));
  AppendLittleEndian32(frame, 0);
  frame.resize(kFrameHeaderSize + bound);

  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(frame.data() + kFrameHeaderSize);
  stream.avail_out = static_cast<uInt>(bound);
  const int status = deflate(&stream, Z_FINISH);
  const uLong written = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return {};
  frame.resize(kFrameHeaderSize + written);
  return frame;
}

}  // namespace trace
