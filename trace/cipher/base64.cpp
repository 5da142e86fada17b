#include "trace/cipher/base64.h"

#include <cstdint>

namespace trace {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string Base64Encode(const void* bytes, size_t count) {
  std::string out;
  if (count == 0) return out;
  out.reserve((count + 2) / 3 * 4);
  const auto* in = static_cast<const unsigned char*>(bytes);
  size_t i = 0;
  for (; i + 3 <= count; i += 3) {
    const uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += kAlphabet[(group >> 6) & 0x3F];
    out += kAlphabet[group & 0x3F];
  }
  const size_t rest = count - i;
  if (rest > 0) {
    uint32_t group = uint32_t{in[i]} << 16;
    if (rest == 2) group |= uint32_t{in[i + 1]} << 8;
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

std::string Base64Encode(std::string_view data) {
  return Base64Encode(data.data(), data.size());
}

}  // namespace trace
