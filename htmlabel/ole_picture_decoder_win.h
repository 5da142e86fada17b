// The system's picture loader behind the picture decoder seam: picture file
// bytes go into a movable global memory block, a stream on it, and
// OleLoadPicture, which decodes JPEG, GIF, BMP, icon and metafile data. The
// decoded IPicture renders itself on a device context.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include "htmlabel/picture_decoder.h"

namespace htmlabel {

// A picture decoded by OleLoadPicture.
class OleDecodedPicture : public DecodedPicture {
 public:
  // Takes over one reference to picture.
  explicit OleDecodedPicture(IPicture* picture);
  ~OleDecodedPicture() override;
  OleDecodedPicture(const OleDecodedPicture&) = delete;
  OleDecodedPicture& operator=(const OleDecodedPicture&) = delete;

  // The picture's own HIMETRIC size.
  Size HimetricSize() const override { return himetric_; }
  // Renders the whole picture into rect of dc (stretched to it). An opaque
  // bitmap is rendered once into a copy of its own, which later calls copy.
  void Render(HDC dc, const RECT& rect) const;

 private:
  IPicture* picture_;
  Size himetric_;
  mutable bool opaque_bitmap_ = false;  // a bitmap without transparent pixels
  mutable HDC copy_dc_ = nullptr;       // the copy, selected into a memory device context
  mutable HBITMAP copy_ = nullptr;
  mutable HGDIOBJ copy_old_ = nullptr;
  mutable SIZE copy_size_{};
};

// Decodes with OleLoadPicture; errors carry the loader's messages.
class OlePictureDecoder : public PictureDecoder {
 public:
  DecodeResult Decode(std::span<const std::uint8_t> data) const override;
};

// Makes pictures load through OleLoadPicture and read the executable's
// RCDATA resources (once; later calls change nothing).
void UseSystemPictureLoader();

}  // namespace htmlabel
