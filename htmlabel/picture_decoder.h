// The seam between a picture's file bytes and the system's picture loader:
// a decoder turns bytes into a decoded picture (on Windows the OLE picture
// loader, in tests a fake), and a resource reader gives the bytes of a
// raw-data resource of the program. Pictures use the services installed here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

// A decoded picture; the surface that draws it knows its concrete class.
class DecodedPicture {
 public:
  virtual ~DecodedPicture() = default;
  // The size in HIMETRIC units (hundredths of a millimetre).
  virtual Size HimetricSize() const = 0;
};

// What decoding gave: a picture, or the error text to raise.
struct DecodeResult {
  std::unique_ptr<DecodedPicture> picture;  // the picture, or null
  std::string error;                        // why there is none
};

// Turns picture file bytes (JPEG, GIF, BMP, icon, metafile) into a picture.
class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;
  // Decodes data; never throws.
  virtual DecodeResult Decode(std::span<const std::uint8_t> data) const = 0;
};

// The bytes of the program's raw-data resource of that name, if it has one.
using ResourceReader =
    std::function<std::optional<std::vector<std::uint8_t>>(std::string_view name)>;

// What pictures load through.
struct PictureServices {
  const PictureDecoder* decoder = nullptr;  // null: nothing decodes
  ResourceReader read_resource;             // empty: there are no resources
};

// The services pictures use now.
const PictureServices& CurrentPictureServices();
// Installs services and returns the previous ones.
PictureServices SetPictureServices(PictureServices services);

}  // namespace htmlabel
