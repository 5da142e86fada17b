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
}

OleDecodedPicture::~OleDecodedPicture() {
  picture_->Release();
}

void OleDecodedPicture::Render(HDC dc, const RECT& rect) const {
  // HIMETRIC runs upwards: the source starts at the bottom and has a negative height.
  picture_->Render(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0,
                   himetric_.cy, himetric_.cx, -himetric_.cy, nullptr);
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
