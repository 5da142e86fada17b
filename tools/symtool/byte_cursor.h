// A bounded little-endian reader over foreign bytes. Every read checks the remaining length;
// a read past the end leaves the cursor failed, returns zero and reads nothing more, so a
// parser checks ok() once after a group of reads instead of after each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace symtool {

class ByteCursor {
 public:
  ByteCursor() = default;
  explicit ByteCursor(std::string_view bytes, size_t position = 0)
      : bytes_(bytes), position_(position) {
    if (position_ > bytes_.size()) Fail();
  }

  // False once any read went past the end or a value did not fit.
  bool ok() const { return ok_; }
  // True when every byte has been read (or the cursor failed).
  bool at_end() const { return !ok_ || position_ >= bytes_.size(); }
  // Offset of the next byte to read.
  size_t position() const { return position_; }
  // Bytes left to read.
  size_t remaining() const { return ok_ ? bytes_.size() - position_ : 0; }
  // The whole underlying span.
  std::string_view bytes() const { return bytes_; }

  // Moves to an absolute offset; fails when it lies beyond the end.
  void Seek(size_t position) {
    if (position > bytes_.size()) return Fail();
    position_ = position;
  }

  // Skips count bytes; fails when fewer remain.
  void Skip(uint64_t count) {
    if (!ok_ || count > remaining()) return Fail();
    position_ += static_cast<size_t>(count);
  }

  uint8_t U8() { return static_cast<uint8_t>(Fixed(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Fixed(2)); }
  uint32_t U24() { return static_cast<uint32_t>(Fixed(3)); }
  uint32_t U32() { return static_cast<uint32_t>(Fixed(4)); }
  uint64_t U64() { return Fixed(8); }

  // An unsigned value of size bytes (1 to 8).
  uint64_t Fixed(size_t size) {
    if (!ok_ || size == 0 || size > 8 || size > remaining()) {
      Fail();
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
      value |= uint64_t{static_cast<uint8_t>(bytes_[position_ + i])} << (8 * i);
    position_ += size;
    return value;
  }

  // An unsigned LEB128 number (bits beyond 64 are dropped); fails when it does not end.
  uint64_t Uleb() {
    uint64_t value = 0;
    for (unsigned shift = 0; ok_ && position_ < bytes_.size(); shift += 7) {
      const uint8_t byte = static_cast<uint8_t>(bytes_[position_++]);
      if (shift < 64) value |= uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) return value;
    }
    Fail();
    return 0;
  }

  // A signed LEB128 number (bits beyond 64 are dropped); fails when it does not end.
  int64_t Sleb() {
    uint64_t value = 0;
    for (unsigned shift = 0; ok_ && position_ < bytes_.size(); shift += 7) {
      const uint8_t byte = static_cast<uint8_t>(bytes_[position_++]);
      if (shift < 64) value |= uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) {
        if (shift + 7 < 64 && (byte & 0x40) != 0) value |= ~uint64_t{0} << (shift + 7);
        return static_cast<int64_t>(value);
      }
    }
    Fail();
    return 0;
  }

  // A zero-terminated text (without its zero); fails when no zero follows.
  std::string_view CString() {
    if (!ok_) return {};
    const size_t end = bytes_.find('\0', position_);
    if (end == std::string_view::npos) {
      Fail();
      return {};
    }
    const std::string_view text = bytes_.substr(position_, end - position_);
    position_ = end + 1;
    return text;
  }

  // The next count bytes as a span; fails when fewer remain.
  std::string_view Span(uint64_t count) {
    if (!ok_ || count > remaining()) {
      Fail();
      return {};
    }
    const std::string_view span = bytes_.substr(position_, static_cast<size_t>(count));
    position_ += static_cast<size_t>(count);
    return span;
  }

 private:
  void Fail() {
    ok_ = false;
    position_ = bytes_.size();
  }

  std::string_view bytes_;
  size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace symtool
