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
  // Draws image index into rect of dc as ImageList_Draw draws it (its masked
  // pixels leave the target as it was), stretched when rect differs from the
  // image size; lists made from a strip draw from copies of their own.
  void Draw(HDC dc, int index, const RECT& rect) const;

 private:
  // The strip with its masked pixels black, and its mask (1 where masked),
  // each selected into a memory device context: drawing is two copies
  // (the system's image-list drawing costs far more under Wine).
  struct Strip {
    HDC image_dc = nullptr;
    HBITMAP image = nullptr;
    HGDIOBJ image_old = nullptr;
    HDC mask_dc = nullptr;
    HBITMAP mask = nullptr;
    HGDIOBJ mask_old = nullptr;
  };
  void FreeStrip();

  HIMAGELIST list_;
  Strip strip_;
};

// Draws image index of list (an image list of the common controls) into rect
// of dc, transparently; stretched through a bitmap of the image's size when
// rect differs from it.
void DrawImageListImage(HIMAGELIST list, int index, HDC dc, const RECT& rect, UINT style);

}  // namespace htmlabel
