#include "htmlabel/picture_cache.h"

namespace htmlabel {

THTMLPicture& THTMLPictureCache::NewPicture() {
  pictures_.push_back(std::make_unique<THTMLPicture>());
  return *pictures_.back();
}

THTMLPicture* THTMLPictureCache::PictureByAddress(std::string_view address) {
  for (const std::unique_ptr<THTMLPicture>& picture : pictures_) {
    if (picture->ID() == address) return picture.get();
  }
  return nullptr;
}

}  // namespace htmlabel
