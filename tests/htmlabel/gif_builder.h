// Builds GIF files byte by byte for tests of the frame walk: a header with a
// logical screen and an optional global colour table, extensions, frames
// with or without a graphic control extension, and the trailer. Image data
// is given as raw sub-block bytes: the walk never decodes it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace htmlabel::testing {

class GifBuilder {
 public:
  // A GIF89a header with a logical screen of width x height; a global colour
  // table of 2^(table_bits) entries when table_bits > 0.
  GifBuilder(std::uint16_t width, std::uint16_t height, int table_bits = 1) {
    Append({'G', 'I', 'F', '8', '9', 'a'});
    U16(width);
    U16(height);
    bytes_.push_back(table_bits > 0 ? static_cast<std::uint8_t>(0x80 | (table_bits - 1)) : 0);
    Append({0, 0});
    for (int i = 0; table_bits > 0 && i < (3 << table_bits); ++i)
      bytes_.push_back(static_cast<std::uint8_t>(i));
  }

  // A graphic control extension (delay in hundredths of a second).
  GifBuilder& Control(std::uint16_t delay = 10) {
    Append({0x21, 0xF9, 0x04, 0x00});
    U16(delay);
    Append({0x00, 0x00});
    return *this;
  }
  // A comment extension holding text bytes.
  GifBuilder& Comment(std::initializer_list<std::uint8_t> text) {
    Append({0x21, 0xFE, static_cast<std::uint8_t>(text.size())});
    Append(text);
    bytes_.push_back(0);
    return *this;
  }
  // An image descriptor and its data: the LZW code size 2, then data as one
  // sub-block (empty data: no sub-block), then the terminator.
  GifBuilder& Image(std::uint16_t left, std::uint16_t top, std::uint16_t width,
                    std::uint16_t height, std::vector<std::uint8_t> data = {0x44, 0x01}) {
    bytes_.push_back(0x2C);
    U16(left);
    U16(top);
    U16(width);
    U16(height);
    bytes_.push_back(0);
    bytes_.push_back(2);
    if (!data.empty()) {
      bytes_.push_back(static_cast<std::uint8_t>(data.size()));
      bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    bytes_.push_back(0);
    return *this;
  }
  // A frame: a graphic control extension and an image.
  GifBuilder& Frame(std::uint16_t left, std::uint16_t top, std::uint16_t width,
                    std::uint16_t height, std::vector<std::uint8_t> data = {0x44, 0x01}) {
    Control();
    return Image(left, top, width, height, std::move(data));
  }
  // The trailer.
  GifBuilder& End() {
    bytes_.push_back(0x3B);
    return *this;
  }
  // The offset the next block will have.
  std::size_t Size() const { return bytes_.size(); }
  // The file.
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  void Append(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  void U16(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace htmlabel::testing
