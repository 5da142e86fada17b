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
  FreeStrip();
  if (list_) ImageList_Destroy(list_);
}

void TCommonImageList::FreeStrip() {
  if (strip_.image_dc) {
    SelectObject(strip_.image_dc, strip_.image_old);
    DeleteDC(strip_.image_dc);
  }
  if (strip_.mask_dc) {
    SelectObject(strip_.mask_dc, strip_.mask_old);
    DeleteDC(strip_.mask_dc);
  }
  if (strip_.image) DeleteObject(strip_.image);
  if (strip_.mask) DeleteObject(strip_.mask);
  strip_ = Strip{};
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
  // The copies to draw from, made before ImageList_AddMasked changes the bitmap.
  Strip& strip = owned->strip_;
  strip.image_dc = CreateCompatibleDC(screen.Dc());
  strip.mask_dc = CreateCompatibleDC(screen.Dc());
  strip.image = CreateCompatibleBitmap(screen.Dc(), width, height);
  strip.mask = CreateBitmap(width, height, 1, 1, nullptr);
  if (!strip.image_dc || !strip.mask_dc || !strip.image || !strip.mask) {
    owned->FreeStrip();
  } else {
    strip.image_old = SelectObject(strip.image_dc, strip.image);
    strip.mask_old = SelectObject(strip.mask_dc, strip.mask);
    HDC source = CreateCompatibleDC(screen.Dc());
    HGDIOBJ source_old = SelectObject(source, bitmap.Get());
    BitBlt(strip.image_dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, source_old);
    DeleteDC(source);
    // Colour to monochrome: pixels of the background colour become 1.
    SetBkColor(strip.image_dc, mask_color);
    BitBlt(strip.mask_dc, 0, 0, width, height, strip.image_dc, 0, 0, SRCCOPY);
    // Monochrome to colour: 1 gives the background colour (white), 0 the
    // text colour (black); the image keeps its pixels where the mask is 0.
    SetBkColor(strip.image_dc, RGB(255, 255, 255));
    SetTextColor(strip.image_dc, RGB(0, 0, 0));
    BitBlt(strip.image_dc, 0, 0, width, height, strip.mask_dc, 0, 0, 0x00220326);  // DSna
  }
  if (ImageList_AddMasked(list, static_cast<HBITMAP>(bitmap.Get()), mask_color) < 0) return nullptr;
  return owned;
}

void TCommonImageList::Draw(HDC dc, int index, const RECT& rect) const {
  const Size size = ImageSize();
  if (!strip_.image_dc || index < 0 || index >= Count()) {
    DrawImageListImage(list_, index, dc, rect, ILD_NORMAL);
    return;
  }
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  const int x = index * size.cx;
  const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
  const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
  if (width == size.cx && height == size.cy) {
    BitBlt(dc, rect.left, rect.top, width, height, strip_.mask_dc, x, 0, SRCAND);
    BitBlt(dc, rect.left, rect.top, width, height, strip_.image_dc, x, 0, SRCPAINT);
  } else {
    const int mode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, rect.left, rect.top, width, height, strip_.mask_dc, x, 0, size.cx, size.cy,
               SRCAND);
    StretchBlt(dc, rect.left, rect.top, width, height, strip_.image_dc, x, 0, size.cx, size.cy,
               SRCPAINT);
    if (mode) SetStretchBltMode(dc, mode);
  }
  SetBkColor(dc, back);
  SetTextColor(dc, text);
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
