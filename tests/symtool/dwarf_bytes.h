// Little-endian byte strings for hand-made DWARF sections in tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace symtool_test {

class DwarfBytes {
 public:
  DwarfBytes& U8(uint8_t v) {
    data_.push_back(static_cast<char>(v));
    return *this;
  }
  DwarfBytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  DwarfBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  DwarfBytes& Uleb(uint64_t v) {
    do {
      uint8_t byte = v & 0x7F;
      v >>= 7;
      if (v) byte |= 0x80;
      U8(byte);
    } while (v);
    return *this;
  }
  DwarfBytes& Sleb(int64_t v) {
    while (true) {
      const uint8_t byte = v & 0x7F;
      v >>= 7;
      if ((v == 0 && !(byte & 0x40)) || (v == -1 && (byte & 0x40))) return U8(byte);
      U8(byte | 0x80);
    }
  }
  DwarfBytes& Str(std::string_view text) {
    data_.append(text);
    return U8(0);
  }
  // Writes v over the 4 bytes at offset.
  void Patch32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      data_[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  size_t size() const { return data_.size(); }
  const std::string& str() const { return data_; }

 private:
  std::string data_;
};

}  // namespace symtool_test
