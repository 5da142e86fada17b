// What the SRC of an image tag names: an image of the caller's image list
// ("IDX:n"), a small or large system file icon ("SSYS:name", "LSYS:name"), a
// picture of the picture container (a name without ":") or a picture named by
// address (anything containing "://"). Prefixes are matched in any case.
#pragma once

#include <string_view>

namespace htmlabel {

// The kinds of image sources.
enum class ImageSourceKind {
  kNone,              // names nothing that can be shown
  kImageList,         // "IDX:" and an index into the image list
  kSmallSystemIcon,   // "SSYS:" and a file, folder, extension or icon index
  kLargeSystemIcon,   // "LSYS:" and the same
  kNamedPicture,      // a picture container item's name
  kAddressedPicture,  // an address for the picture cache
};

// A classified source.
struct ImageSource {
  ImageSourceKind kind = ImageSourceKind::kNone;  // what it names
  std::string_view rest;  // after the prefix (the whole source for pictures)
};

// Classifies an image tag's SRC value.
ImageSource ClassifyImageSource(std::string_view src);

// True when text is a non-empty run of decimal digits.
bool IsDecimalNumber(std::string_view text);

}  // namespace htmlabel
