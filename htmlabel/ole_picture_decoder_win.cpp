#include "htmlabel/ole_picture_decoder_win.h"

#include <algorithm>
#include <cstring>

#include "framework/resource.h"
#include "htmlabel/picture_geometry.h"

namespace htmlabel {

OleDecodedPicture::OleDecodedPicture(IPicture* picture) : picture_(picture) {
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  himetric_ = Size{static_cast<int>(width), static_cast<int>(height)};
  SHORT type = PICTYPE_UNINITIALIZED;
  DWORD attributes = 0;
  opaque_bitmap_ = SUCCEEDED(picture_->get_Type(&type)) && type == PICTYPE_BITMAP &&
                   SUCCEEDED(picture_->get_Attributes(&attributes)) &&
                   (attributes & PICTURE_TRANSPARENT) == 0;
}

OleDecodedPicture::~OleDecodedPicture() {
  if (block_dc_) {
    SelectObject(block_dc_, block_old_);
    DeleteDC(block_dc_);
    DeleteObject(block_);
  }
  if (copy_dc_) {
    SelectObject(copy_dc_, copy_old_);
    DeleteDC(copy_dc_);
    DeleteObject(copy_);
  }
  picture_->Release();
}

namespace {

// The header of a top-down 32-bit picture.
BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  return format;
}

// Tiles up to kSmallTile pixels on each side are copied as blocks of whole
// tiles about as wide as the area, at most about kBlockWidth, and about
// kBlockHeight high: a few copies per label, a block of some hundred KB kept
// with the picture. Larger tiles are copied one by one.
constexpr int kSmallTile = 256;
constexpr int kBlockWidth = 1024;
constexpr int kBlockHeight = 256;

}  // namespace

bool OleDecodedPicture::MakeCopy() const {
  if (!opaque_bitmap_) return false;
  if (copy_dc_) return true;
  // The picture's own pixels once, at the size of its bitmap.
  OLE_HANDLE handle = 0;
  BITMAP info{};
  if (SUCCEEDED(picture_->get_Handle(&handle)) &&
      GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof info, &info) &&
      info.bmWidth > 0 && info.bmHeight > 0) {
    // A true-colour copy, whatever the device context drawn on first.
    const BITMAPINFO format = TopDown32(info.bmWidth, info.bmHeight);
    void* bits = nullptr;
    copy_dc_ = CreateCompatibleDC(nullptr);
    copy_ =
        copy_dc_ ? CreateDIBSection(copy_dc_, &format, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (copy_ && bits) {
      copy_old_ = SelectObject(copy_dc_, copy_);
      copy_size_ = SIZE{info.bmWidth, info.bmHeight};
      copy_pixels_ = static_cast<const std::uint32_t*>(bits);
      picture_->Render(copy_dc_, 0, 0, info.bmWidth, info.bmHeight, 0, himetric_.cy, himetric_.cx,
                       -himetric_.cy, nullptr);
    } else {
      if (copy_) DeleteObject(copy_);
      copy_ = nullptr;
      if (copy_dc_) DeleteDC(copy_dc_);
      copy_dc_ = nullptr;
    }
  }
  if (copy_dc_ == nullptr) opaque_bitmap_ = false;
  return opaque_bitmap_;
}

void OleDecodedPicture::Render(HDC dc, const RECT& rect) const {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (MakeCopy()) {
    if (width == copy_size_.cx && height == copy_size_.cy) {
      BitBlt(dc, rect.left, rect.top, width, height, copy_dc_, 0, 0, SRCCOPY);
    } else {
      const int mode = SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, rect.left, rect.top, width, height, copy_dc_, 0, 0, copy_size_.cx,
                 copy_size_.cy, SRCCOPY);
      if (mode) SetStretchBltMode(dc, mode);
    }
    return;
  }
  // HIMETRIC runs upwards: the source starts at the bottom and has a negative height.
  picture_->Render(dc, rect.left, rect.top, width, height, 0, himetric_.cy, himetric_.cx,
                   -himetric_.cy, nullptr);
}

bool OleDecodedPicture::MakeBlock(int width, int height) const {
  if (block_dc_ && block_size_.cx >= width && block_size_.cy >= height) return true;
  width = std::max<int>(width, block_size_.cx);
  height = std::max<int>(height, block_size_.cy);
  if (block_dc_) {
    SelectObject(block_dc_, block_old_);
    DeleteDC(block_dc_);
    DeleteObject(block_);
    block_dc_ = nullptr;
    block_ = nullptr;
    block_size_ = SIZE{};
  }
  const BITMAPINFO format = TopDown32(width, height);
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = dc ? CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    return false;
  }
  // The copy's rendering may still be queued.
  GdiFlush();
  // The first row of tiles copy by copy, then each row of pixels from the
  // one a tile height above it.
  std::uint32_t* pixels = static_cast<std::uint32_t*>(bits);
  const int tile_width = copy_size_.cx;
  const int tile_height = copy_size_.cy;
  for (int y = 0; y < std::min(height, tile_height); ++y) {
    const std::uint32_t* source = copy_pixels_ + static_cast<std::size_t>(y) * tile_width;
    std::uint32_t* row = pixels + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; x += tile_width)
      std::memcpy(row + x, source, sizeof *row * std::min(tile_width, width - x));
  }
  for (int y = tile_height; y < height; ++y) {
    std::memcpy(pixels + static_cast<std::size_t>(y) * width,
                pixels + static_cast<std::size_t>(y - tile_height) * width, sizeof *pixels * width);
  }
  block_dc_ = dc;
  block_ = bitmap;
  block_old_ = SelectObject(dc, bitmap);
  block_size_ = SIZE{width, height};
  return true;
}

bool OleDecodedPicture::TileOpaque(HDC dc, const Rect& area, Size tile, const Rect& visible) const {
  if (!MakeCopy() || tile.cx != copy_size_.cx || tile.cy != copy_size_.cy) return false;
  HDC source = copy_dc_;
  Size block = tile;
  if (tile.cx <= kSmallTile && tile.cy <= kSmallTile) {
    block = Size{TileBlock(tile, area, kBlockWidth).cx, TileBlock(tile, area, kBlockHeight).cy};
    if (!MakeBlock(block.cx, block.cy)) return false;
    source = block_dc_;
  }
  const BlockRange blocks = VisibleBlocks(area, block, visible);
  const int right = std::min(area.right, visible.right);
  const int bottom = std::min(area.bottom, visible.bottom);
  for (int row = 0; row < blocks.rows; ++row) {
    for (int column = 0; column < blocks.columns; ++column) {
      const Rect r = blocks.At(column, row);
      BitBlt(dc, r.left, r.top, std::min(r.right, right) - r.left,
             std::min(r.bottom, bottom) - r.top, source, 0, 0, SRCCOPY);
    }
  }
  return true;
}

DecodeResult OlePictureDecoder::Decode(std::span<const std::uint8_t> data) const {
  DecodeResult result;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, data.size());
  if (block == nullptr) {
    result.error = "Could not allocate memory for image";
    return result;
  }
  if (void* bytes = GlobalLock(block)) {
    if (!data.empty()) std::memcpy(bytes, data.data(), data.size());
    GlobalUnlock(block);
  }
  IStream* stream = nullptr;
  const HRESULT created = CreateStreamOnHGlobal(block, TRUE, &stream);
  if (FAILED(created)) {
    GlobalFree(block);
    result.error = "Could not create image stream";
    return result;
  }
  if (stream == nullptr) {
    GlobalFree(block);
    result.error = "Empty image stream created";
    return result;
  }
  IPicture* picture = nullptr;
  const HRESULT loaded = OleLoadPicture(stream, static_cast<LONG>(data.size()), FALSE, IID_IPicture,
                                        reinterpret_cast<void**>(&picture));
  stream->Release();  // frees the block
  if (FAILED(loaded)) {
    if (picture) picture->Release();
    result.error = "Could not load image. Invalid format";
    return result;
  }
  if (picture == nullptr) {
    result.error = "Could not load image";
    return result;
  }
  result.picture = std::make_unique<OleDecodedPicture>(picture);
  return result;
}

void UseSystemPictureLoader() {
  static const OlePictureDecoder decoder;
  static bool installed = false;
  if (installed) return;
  installed = true;
  PictureServices services;
  services.decoder = &decoder;
  services.read_resource = [](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
    const fw::ResourceBytes bytes = fw::FindResourceBytes(std::string(name).c_str());
    if (bytes.data == nullptr) return std::nullopt;
    return std::vector<std::uint8_t>(bytes.data, bytes.data + bytes.size);
  };
  SetPictureServices(std::move(services));
}

}  // namespace htmlabel
