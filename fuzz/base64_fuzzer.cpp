// Encodes arbitrary bytes with Base64Encode and checks the shape of the result (4 characters
// per started group of 3 bytes, only alphabet characters and trailing "=" padding) and that a
// small independent decoder gives the input back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "trace/cipher/base64.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

// Value of a Base64 alphabet character, or -1.
int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string Decode(std::string_view text) {
  std::string bytes;
  uint32_t bits = 0;
  int bit_count = 0;
  for (char c : text) {
    if (c == '=') break;
    bits = (bits << 6) | static_cast<uint32_t>(SextetOf(c));
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      bytes += static_cast<char>((bits >> bit_count) & 0xFF);
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string encoded = trace::Base64Encode(input);
  Check(encoded == trace::Base64Encode(data, size), "both forms agree");
  Check(encoded.size() == (size + 2) / 3 * 4, "length is 4 * ceil(n / 3)");

  const size_t padding = (3 - size % 3) % 3;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (i >= encoded.size() - padding) {
      Check(encoded[i] == '=', "padding is trailing '='");
    } else {
      Check(SextetOf(encoded[i]) >= 0, "only alphabet characters before the padding");
    }
  }
  Check(Decode(encoded) == input, "decoding gives the input back");
  return 0;
}
