// A picture decoder for tests: "decodes" a GIF as its first image's size, a
// BMP file as the size in its header, and refuses anything else with the
// system loader's message; it counts its calls. Installed for the life of
// the object.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "htmlabel/gif_frames.h"
#include "htmlabel/picture_decoder.h"

namespace htmlabel::testing {

// A decoded test picture: its pixel size and the first bytes it came from.
class FakeDecodedPicture : public DecodedPicture {
 public:
  FakeDecodedPicture(int width, int height) : width_(width), height_(height) {}
  // Pixels at 96 dots per inch in HIMETRIC units.
  Size HimetricSize() const override { return Size{width_ * 2540 / 96, height_ * 2540 / 96}; }
  int width_;
  int height_;
};

class FakePictureDecoder : public PictureDecoder {
 public:
  FakePictureDecoder() {
    PictureServices services;
    services.decoder = this;
    services.read_resource =
        [this](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
      const auto found = resources.find(std::string(name));
      if (found == resources.end()) return std::nullopt;
      return found->second;
    };
    previous_ = SetPictureServices(std::move(services));
  }
  ~FakePictureDecoder() override { SetPictureServices(std::move(previous_)); }
  FakePictureDecoder(const FakePictureDecoder&) = delete;
  FakePictureDecoder& operator=(const FakePictureDecoder&) = delete;

  DecodeResult Decode(std::span<const std::uint8_t> data) const override {
    ++calls;
    last.assign(data.begin(), data.end());
    DecodeResult result;
    if (IsGif(data)) {
      const GifLayout layout = ReadGifLayout(data);
      if (layout.frames.empty()) {
        result.error = "Could not load image. Invalid format";
        return result;
      }
      result.picture =
          std::make_unique<FakeDecodedPicture>(layout.frames[0].width, layout.frames[0].height);
      return result;
    }
    if (data.size() >= 26 && data[0] == 'B' && data[1] == 'M') {
      result.picture =
          std::make_unique<FakeDecodedPicture>(data[18] | data[19] << 8, data[22] | data[23] << 8);
      return result;
    }
    result.error = "Could not load image. Invalid format";
    return result;
  }

  // Raw-data resources by name.
  std::map<std::string, std::vector<std::uint8_t>> resources;
  mutable int calls = 0;                   // Decode calls
  mutable std::vector<std::uint8_t> last;  // the bytes of the last call

 private:
  PictureServices previous_;
};

// A BMP file header announcing width x height (no pixels: the fake reads the size only).
inline std::vector<std::uint8_t> BmpHeader(int width, int height) {
  std::vector<std::uint8_t> bytes(54, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  bytes[18] = static_cast<std::uint8_t>(width);
  bytes[19] = static_cast<std::uint8_t>(width >> 8);
  bytes[22] = static_cast<std::uint8_t>(height);
  bytes[23] = static_cast<std::uint8_t>(height >> 8);
  return bytes;
}

}  // namespace htmlabel::testing
