// Feeds arbitrary bytes to UncompressString as a compressed frame. It must never crash, never
// return more than the frame states or more than the cap, and a non-empty result must carry
// the CRC-32 the frame states. Inputs beginning with 'R' also check that the rest survives a
// CompressString round trip.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "trace/cipher/compressed_frame.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

uint32_t ReadLittleEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view frame(reinterpret_cast<const char*>(data), size);
  const std::string out = trace::UncompressString(frame);
  if (size <= trace::kFrameHeaderSize) {
    Check(out.empty(), "a frame without a stream gives an empty result");
  } else {
    const uint32_t stated_length = ReadLittleEndian32(data);
    const uint32_t stated_crc = ReadLittleEndian32(data + 4);
    Check(out.size() <= stated_length, "result size <= stated length");
    Check(out.size() <= trace::kMaxUncompressedLength, "result size <= cap");
    if (!out.empty()) {
      const auto crc = static_cast<uint32_t>(
          crc32(0L, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size())));
      Check(crc == stated_crc, "a non-empty result has the stated CRC");
    }
  }

  if (size > 0 && data[0] == 'R') {
    const std::string_view payload = frame.substr(1);
    Check(trace::UncompressString(trace::CompressString(payload)) == payload,
          "CompressString round trip");
  }
  return 0;
}
