#include "htmlabel/ole_picture_decoder_win.h"

#include <cstring>

#include "framework/resource.h"

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
  if (copy_dc_) {
    SelectObject(copy_dc_, copy_old_);
    DeleteDC(copy_dc_);
    DeleteObject(copy_);
  }
  picture_->Release();
}

void OleDecodedPicture::Render(HDC dc, const RECT& rect) const {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (opaque_bitmap_ && copy_dc_ == nullptr) {
    // The picture's own pixels once, at the size of its bitmap.
    OLE_HANDLE handle = 0;
    BITMAP info{};
    if (SUCCEEDED(picture_->get_Handle(&handle)) &&
        GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof info, &info) &&
        info.bmWidth > 0 && info.bmHeight > 0) {
      // A true-colour copy, whatever the device context drawn on first.
      BITMAPINFO format{};
      format.bmiHeader.biSize = sizeof format.bmiHeader;
      format.bmiHeader.biWidth = info.bmWidth;
      format.bmiHeader.biHeight = -info.bmHeight;
      format.bmiHeader.biPlanes = 1;
      format.bmiHeader.biBitCount = 32;
      format.bmiHeader.biCompression = BI_RGB;
      void* bits = nullptr;
      copy_dc_ = CreateCompatibleDC(nullptr);
      copy_ = copy_dc_ ? CreateDIBSection(copy_dc_, &format, DIB_RGB_COLORS, &bits, nullptr, 0)
                       : nullptr;
      if (copy_) {
        copy_old_ = SelectObject(copy_dc_, copy_);
        copy_size_ = SIZE{info.bmWidth, info.bmHeight};
        picture_->Render(copy_dc_, 0, 0, info.bmWidth, info.bmHeight, 0, himetric_.cy, himetric_.cx,
                         -himetric_.cy, nullptr);
      } else if (copy_dc_) {
        DeleteDC(copy_dc_);
        copy_dc_ = nullptr;
      }
    }
    if (copy_dc_ == nullptr) opaque_bitmap_ = false;
  }
  if (copy_dc_) {
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
