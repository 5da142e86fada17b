// Explicit little-endian reads from byte spans and appends to byte strings, for the fixed
// layouts of the symbol data formats. Reads are bounded: a read past the span gives none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trace {

// The 16-bit value at offset; none when the span ends before its last byte.
inline std::optional<uint16_t> ReadLe16(std::string_view bytes, uint64_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 2) return std::nullopt;
  const auto byte = [&](size_t i) {
    return uint16_t{static_cast<unsigned char>(bytes[offset + i])};
  };
  return static_cast<uint16_t>(byte(0) | byte(1) << 8);
}

// The 32-bit value at offset; none when the span ends before its last byte.
inline std::optional<uint32_t> ReadLe32(std::string_view bytes, uint64_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
  const auto byte = [&](size_t i) {
    return uint32_t{static_cast<unsigned char>(bytes[offset + i])};
  };
  return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Appends a 16-bit value, low byte first.
inline void AppendLe16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

// Appends a 32-bit value, low byte first.
inline void AppendLe32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out += static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

// Overwrites the 32-bit value at offset, which must lie inside out.
inline void PutLe32(std::string& out, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[offset + i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace trace
