// The size a picture file announces in its headers, read before anything
// decodes it, so that a file claiming an absurd size is refused instead of
// having the loader allocate for it: GIF (logical screen and every frame),
// BMP (the info or core header), JPEG (its frame header).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

// Pictures announcing more pixels than this are not decoded.
constexpr std::int64_t kMaxDecodedPixels = 16 * 1024 * 1024;

// The largest width and height the headers announce; none when the format
// is not one of these or its header is not there.
std::optional<Size> DeclaredPictureSize(std::span<const std::uint8_t> data);

// False when the headers announce more than kMaxDecodedPixels pixels.
bool DeclaredSizeAcceptable(std::span<const std::uint8_t> data);

}  // namespace htmlabel
