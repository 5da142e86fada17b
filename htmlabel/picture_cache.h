// THTMLPictureCache: the label's pictures named by address, found again by
// that address on every paint. It owns its pictures.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "htmlabel/html_picture.h"

namespace htmlabel {

class THTMLPictureCache {
 public:
  THTMLPictureCache() = default;
  THTMLPictureCache(const THTMLPictureCache&) = delete;
  THTMLPictureCache& operator=(const THTMLPictureCache&) = delete;

  // Creates an empty picture, appends it and returns it.
  THTMLPicture& NewPicture();
  // The first picture whose identity equals address exactly, or null.
  THTMLPicture* PictureByAddress(std::string_view address);
  // Frees every picture and empties the list.
  void FreeAllPictures() { pictures_.clear(); }
  // The number of pictures.
  std::size_t Count() const { return pictures_.size(); }

 private:
  std::vector<std::unique_ptr<THTMLPicture>> pictures_;
};

}  // namespace htmlabel
