// An image list of the common controls behind the renderer's TImageList:
// images of one size cut from a bitmap strip, with a mask colour for their
// transparent pixels. The label's Images property takes one.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <span>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

class TCommonImageList : public TImageList {
 public:
  // Takes ownership of list (may be null: an empty list).
  explicit TCommonImageList(HIMAGELIST list) : list_(list) {}
  ~TCommonImageList() override;
  TCommonImageList(const TCommonImageList&) = delete;
  TCommonImageList& operator=(const TCommonImageList&) = delete;

  // A list of images image_width wide cut from a 24-bit BMP file strip;
  // pixels of mask_color are transparent. Null when the bytes are no such
  // bitmap or its width is not a multiple of image_width.
  static std::unique_ptr<TCommonImageList> FromBmpStrip(std::span<const std::uint8_t> bmp,
                                                        int image_width, COLORREF mask_color);

  // The list's handle.
  HIMAGELIST Handle() const { return list_; }
  int Count() const override;
  Size ImageSize() const override;

 private:
  HIMAGELIST list_;
};

// Draws image index of list (an image list of the common controls) into rect
// of dc, transparently; stretched through a bitmap of the image's size when
// rect differs from it.
void DrawImageListImage(HIMAGELIST list, int index, HDC dc, const RECT& rect, UINT style);

}  // namespace htmlabel
