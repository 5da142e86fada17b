#include "framework/picture.h"

#include "framework/exception.h"

namespace fw {

namespace {

// Little-endian fields of the BMP headers, read within the given size.
std::uint32_t ReadU32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Pictures larger than this are refused rather than allocated.
constexpr std::int64_t kMaxPixels = 16 * 1024 * 1024;

}  // namespace

void TGraphic::SetPixels(int width, int height, std::vector<std::uint32_t> pixels) {
  width_ = width;
  height_ = height;
  pixels_ = std::move(pixels);
}

void TBitmap::Assign(int width, int height, std::vector<std::uint32_t> pixels) {
  if (width < 0 || height < 0 || pixels.size() != static_cast<std::size_t>(width) * height)
    throw EReadError("Bitmap size does not match its pixels");
  SetPixels(width, height, std::move(pixels));
}

void TBitmap::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  // BITMAPFILEHEADER (14 bytes) then BITMAPINFOHEADER (40 bytes or more).
  if (size < 54 || data[0] != 'B' || data[1] != 'M') throw EReadError("Bitmap image is not valid");
  const std::uint32_t bits_offset = ReadU32(data + 10);
  const std::uint32_t header_size = ReadU32(data + 14);
  const std::int32_t width = static_cast<std::int32_t>(ReadU32(data + 18));
  const std::int32_t signed_height = static_cast<std::int32_t>(ReadU32(data + 22));
  const std::uint16_t bit_count = ReadU16(data + 28);
  const std::uint32_t compression = ReadU32(data + 30);
  if (header_size < 40 || header_size > size - 14 || width <= 0 || signed_height == 0 ||
      signed_height == INT32_MIN || (bit_count != 24 && bit_count != 32) || compression != 0) {
    throw EReadError("Bitmap image is not valid");
  }
  const bool bottom_up = signed_height > 0;
  const std::int64_t height = bottom_up ? signed_height : -static_cast<std::int64_t>(signed_height);
  if (static_cast<std::int64_t>(width) * height > kMaxPixels)
    throw EReadError("Bitmap is too large");
  const std::size_t bytes_per_pixel = bit_count / 8;
  const std::size_t stride =
      (static_cast<std::size_t>(width) * bytes_per_pixel + 3) & ~std::size_t{3};
  if (bits_offset > size || stride * static_cast<std::size_t>(height) > size - bits_offset)
    throw EReadError("Bitmap image is truncated");
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  for (std::int64_t y = 0; y < height; ++y) {
    const std::uint8_t* row = data + bits_offset + stride * (bottom_up ? height - 1 - y : y);
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* p = row + x * bytes_per_pixel;
      pixels[y * width + x] = p[0] | (p[1] << 8) | (p[2] << 16);
    }
  }
  SetPixels(width, static_cast<int>(height), std::move(pixels));
}

void TPicture::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<TGraphic> graphic;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    graphic = std::make_unique<TJPEGImage>();
  } else if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    graphic = std::make_unique<TBitmap>();
  } else {
    throw EReadError("Unknown picture format");
  }
  graphic->LoadFromBytes(data, size);
  graphic_ = std::move(graphic);
  if (OnChange) OnChange(this);
}

void TPicture::Clear() {
  graphic_.reset();
  if (OnChange) OnChange(this);
}

}  // namespace fw
