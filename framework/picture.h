// Pictures: bitmaps held as 32-bit pixels, read from BMP files or decoded
// from JPEG streams, and the container an image control shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/object.h"

namespace fw {

// A picture of known size held as top-down rows of 0x00RRGGBB pixels (the
// byte order B, G, R, 0 that a 32-bit device-independent bitmap uses).
class TGraphic : public TObject {
 public:
  // The class name ("TBitmap", "TJPEGImage").
  virtual std::string ClassName() const = 0;
  // Replaces the picture by the decoded bytes; throws EReadError when they
  // are not a picture of this class.
  virtual void LoadFromBytes(const std::uint8_t* data, std::size_t size) = 0;
  // The width in pixels.
  int Width() const { return width_; }
  // The height in pixels.
  int Height() const { return height_; }
  // The pixels, Width() * Height() of them, row by row from the top.
  const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
  // True when the picture has no pixels.
  bool Empty() const { return pixels_.empty(); }

 protected:
  // Replaces size and pixels.
  void SetPixels(int width, int height, std::vector<std::uint32_t> pixels);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

// A bitmap; reads uncompressed 24- and 32-bit BMP files.
class TBitmap : public TGraphic {
 public:
  // "TBitmap".
  std::string ClassName() const override { return "TBitmap"; }
  // Reads a BMP file image.
  void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
  // Makes a bitmap of the given pixels (width * height of them).
  void Assign(int width, int height, std::vector<std::uint32_t> pixels);
};

// A JPEG picture, decoded with libjpeg.
class TJPEGImage : public TGraphic {
 public:
  // "TJPEGImage".
  std::string ClassName() const override { return "TJPEGImage"; }
  // Decodes a JFIF stream (grey or colour).
  void LoadFromBytes(const std::uint8_t* data, std::size_t size) override;
};

// Holds one picture of any class.
class TPicture : public TObject {
 public:
  // Raised after the picture changed; the sender is the picture.
  TNotifyEvent OnChange;
  // The picture, or null.
  const TGraphic* Graphic() const { return graphic_.get(); }
  // Reads the bytes as a JPEG picture (they start FF D8) or a BMP file
  // ("BM"); throws EReadError for anything else.
  void LoadFromBytes(const std::uint8_t* data, std::size_t size);
  // Removes the picture.
  void Clear();

 private:
  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace fw
