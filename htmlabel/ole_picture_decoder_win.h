// The system's picture loader behind the picture decoder seam: picture file
// bytes go into a movable global memory block, a stream on it, and
// OleLoadPicture, which decodes JPEG, GIF, BMP, icon and metafile data. The
// decoded IPicture renders itself on a device context.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <cstdint>

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
  // Covers the part of area inside visible with copies of an opaque bitmap
  // at the size of tile, laid from area's top-left corner: a block of whole
  // tiles is made once (and kept for later calls) and copied once per block.
  // False, drawing nothing, for any other picture or when tile is not the
  // bitmap's own size.
  bool TileOpaque(HDC dc, const Rect& area, Size tile, const Rect& visible) const;

 private:
  // Makes the opaque bitmap's copy when there is none yet; false when the
  // picture has none.
  bool MakeCopy() const;
  // Makes the block of whole tiles at least width x height when the kept one is smaller.
  bool MakeBlock(int width, int height) const;

  IPicture* picture_;
  Size himetric_;
  mutable bool opaque_bitmap_ = false;  // a bitmap without transparent pixels
  mutable HDC copy_dc_ = nullptr;       // the copy, selected into a memory device context
  mutable HBITMAP copy_ = nullptr;
  mutable HGDIOBJ copy_old_ = nullptr;
  mutable SIZE copy_size_{};
  mutable const std::uint32_t* copy_pixels_ = nullptr;  // its rows, top-down, 32 bits a pixel
  // Tiles of the copy side by side and row under row, for tiling large areas.
  mutable HDC block_dc_ = nullptr;
  mutable HBITMAP block_ = nullptr;
  mutable HGDIOBJ block_old_ = nullptr;
  mutable SIZE block_size_{};
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
