#include "framework/image.h"

#include "framework/resource.h"

#include <string>
#include <string_view>

#include "framework/exception.h"
#include "trace/cipher/compressed_frame.h"

namespace fw {

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::Paint(TCanvas& canvas) {
  if (const TGraphic* graphic = picture_.Graphic()) canvas.Draw(0, 0, *graphic);
}

bool TImage::SetProperty(std::string_view name, const PropertyValue& value) {
  if (name == "Picture.Resource" && value.kind == PropertyValue::Kind::kString) {
    const ResourceBytes bytes = FindResourceBytes(value.text.c_str());
    if (!bytes.data) return false;
    picture_.LoadFromBytes(bytes.data, bytes.size);
    return true;
  }
  if (name == "Picture.CompressedResource" && value.kind == PropertyValue::Kind::kString) {
    const ResourceBytes bytes = FindResourceBytes(value.text.c_str());
    if (!bytes.data) return false;
    const std::string picture = trace::UncompressString(
        std::string_view(reinterpret_cast<const char*>(bytes.data), bytes.size));
    if (picture.empty()) throw EReadError("Compressed picture damaged");
    picture_.LoadFromBytes(reinterpret_cast<const std::uint8_t*>(picture.data()), picture.size());
    return true;
  }
  if (name == "Picture.Data" && value.kind == PropertyValue::Kind::kBinary) {
    picture_.LoadFromBytes(value.binary.data(), value.binary.size());
    return true;
  }
  return TGraphicControl::SetProperty(name, value);
}

}  // namespace fw
