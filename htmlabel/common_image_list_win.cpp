#include "htmlabel/common_image_list_win.h"

#include <vector>

#include "framework/canvas.h"

namespace htmlabel {
namespace {

std::uint32_t U32(std::span<const std::uint8_t> data, std::size_t at) {
  return data[at] | data[at + 1] << 8 | data[at + 2] << 16 |
         static_cast<std::uint32_t>(data[at + 3]) << 24;
}

constexpr std::int64_t kMaxStripPixels = 16 * 1024 * 1024;

}  // namespace

TCommonImageList::~TCommonImageList() {
  if (list_) ImageList_Destroy(list_);
}

std::unique_ptr<TCommonImageList> TCommonImageList::FromBmpStrip(std::span<const std::uint8_t> bmp,
                                                                 int image_width,
                                                                 COLORREF mask_color) {
  if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M' || image_width <= 0) return nullptr;
  const std::uint32_t bits_offset = U32(bmp, 10);
  const std::int32_t width = static_cast<std::int32_t>(U32(bmp, 18));
  const std::int32_t height = static_cast<std::int32_t>(U32(bmp, 22));
  const int bit_count = bmp[28] | bmp[29] << 8;
  if (U32(bmp, 14) < 40 || width <= 0 || height <= 0 || bit_count != 24 || U32(bmp, 30) != 0 ||
      width % image_width != 0 || static_cast<std::int64_t>(width) * height > kMaxStripPixels) {
    return nullptr;
  }
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  if (bits_offset > bmp.size() ||
      stride * static_cast<std::size_t>(height) > bmp.size() - bits_offset)
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  fw::WindowDcScope screen(nullptr);
  fw::GdiObject bitmap(CreateDIBitmap(screen.Dc(), &info.bmiHeader, CBM_INIT,
                                      bmp.data() + bits_offset, &info, DIB_RGB_COLORS));
  if (!bitmap.Get()) return nullptr;
  HIMAGELIST list =
      ImageList_Create(image_width, height, ILC_COLOR24 | ILC_MASK, width / image_width, 0);
  if (!list) return nullptr;
  auto owned = std::make_unique<TCommonImageList>(list);
  if (ImageList_AddMasked(list, static_cast<HBITMAP>(bitmap.Get()), mask_color) < 0) return nullptr;
  return owned;
}

int TCommonImageList::Count() const {
  return list_ ? ImageList_GetImageCount(list_) : 0;
}

Size TCommonImageList::ImageSize() const {
  int width = 0;
  int height = 0;
  if (list_) ImageList_GetIconSize(list_, &width, &height);
  return Size{width, height};
}

void DrawImageListImage(HIMAGELIST list, int index, HDC dc, const RECT& rect, UINT style) {
  int width = 0;
  int height = 0;
  if (!list || !ImageList_GetIconSize(list, &width, &height) || width <= 0 || height <= 0) return;
  const int target_width = rect.right - rect.left;
  const int target_height = rect.bottom - rect.top;
  if (target_width == width && target_height == height) {
    ImageList_Draw(list, index, dc, rect.left, rect.top, style);
    return;
  }
  if (target_width <= 0 || target_height <= 0) return;
  // Stretched: the image over what the target shows, in a bitmap of its size.
  HDC memory = CreateCompatibleDC(dc);
  fw::GdiObject bitmap(CreateCompatibleBitmap(dc, width, height));
  if (!memory || !bitmap.Get()) {
    if (memory) DeleteDC(memory);
    return;
  }
  {
    fw::SelectScope select(memory, bitmap.Get());
    SetStretchBltMode(memory, COLORONCOLOR);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(memory, 0, 0, width, height, dc, rect.left, rect.top, target_width, target_height,
               SRCCOPY);
    ImageList_Draw(list, index, memory, 0, 0, style);
    StretchBlt(dc, rect.left, rect.top, target_width, target_height, memory, 0, 0, width, height,
               SRCCOPY);
  }
  DeleteDC(memory);
}

}  // namespace htmlabel
