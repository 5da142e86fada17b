#include "htmlabel/image_source.h"

namespace htmlabel {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

ImageSource ClassifyImageSource(std::string_view src) {
  if (StartsWithNoCase(src, "IDX:")) return {ImageSourceKind::kImageList, src.substr(4)};
  if (StartsWithNoCase(src, "SSYS:")) return {ImageSourceKind::kSmallSystemIcon, src.substr(5)};
  if (StartsWithNoCase(src, "LSYS:")) return {ImageSourceKind::kLargeSystemIcon, src.substr(5)};
  if (src.find(':') == std::string_view::npos) return {ImageSourceKind::kNamedPicture, src};
  if (src.find("://") != std::string_view::npos) return {ImageSourceKind::kAddressedPicture, src};
  return {};
}

bool IsDecimalNumber(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace htmlabel
