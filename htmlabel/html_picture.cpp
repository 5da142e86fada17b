#include "htmlabel/html_picture.h"

#include <utility>

#include "framework/exception.h"
#include "htmlabel/declared_picture_size.h"
#include "htmlabel/gif_frames.h"
#include "htmlabel/picture_geometry.h"
#include "trace/system/file_contents.h"

namespace htmlabel {
namespace {

PictureServices& Services() {
  static PictureServices services;
  return services;
}

// True when text starts with prefix, letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i];
    char b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

const PictureServices& CurrentPictureServices() {
  return Services();
}

PictureServices SetPictureServices(PictureServices services) {
  return std::exchange(Services(), std::move(services));
}

void THTMLPicture::Load() {
  frame_left_ = frame_top_ = frame_width_ = frame_height_ = 0;
  screen_width_ = screen_height_ = 0;
  std::vector<std::uint8_t> bytes;
  const std::span<const std::uint8_t> data(data_);
  if (IsGif(data)) {
    const GifLayout layout = ReadGifLayout(data);
    if (!layout.frames.empty()) {
      screen_width_ = layout.screen_width;
      screen_height_ = layout.screen_height;
      GifFrame shown;
      bytes = CopyFromFrame(data, frame_, &shown);
      frame_left_ = shown.left;
      frame_top_ = shown.top;
      frame_width_ = shown.width;
      frame_height_ = shown.height;
    }
  }
  const std::span<const std::uint8_t> decoded_bytes = bytes.empty() ? data : bytes;
  decoded_.reset();
  // A file announcing an absurd size is refused before the loader allocates for it.
  if (!DeclaredSizeAcceptable(data)) throw fw::Exception("Could not load image");
  const PictureDecoder* decoder = Services().decoder;
  if (decoder == nullptr) throw fw::Exception("Could not load image. Invalid format");
  DecodeResult result = decoder->Decode(decoded_bytes);
  if (!result.picture)
    throw fw::Exception(result.error.empty() ? "Could not load image" : result.error);
  decoded_ = std::move(result.picture);
}

void THTMLPicture::LoadFromBytes(std::span<const std::uint8_t> data) {
  data_.assign(data.begin(), data.end());
  frame_count_ = -1;
  empty_ = false;
  try {
    Load();
  } catch (...) {
    // A picture whose data does not decode is empty, as before any load.
    empty_ = true;
    decoded_.reset();
    throw;
  }
  if (OnChange) OnChange(this);
}

void THTMLPicture::LoadFromFile(const std::string& name) {
  const std::optional<std::string> contents = trace::ReadFileContents(name, kMaxPictureFileBytes);
  if (!contents) return;
  const std::vector<std::uint8_t> bytes(contents->begin(), contents->end());
  try {
    LoadFromBytes(bytes);
  } catch (const fw::Exception&) {
    // Load from file leaves an undecodable picture empty, without error.
  }
}

void THTMLPicture::LoadFromResource(std::string_view name) {
  const ResourceReader& read = Services().read_resource;
  if (!read) return;
  const std::optional<std::vector<std::uint8_t>> bytes = read(name);
  if (bytes) LoadFromBytes(*bytes);
}

void THTMLPicture::LoadFromAddress(const std::string& address) {
  if (StartsWithNoCase(address, "RES://")) {
    identity_ = address;
    LoadFromResource(std::string_view(address).substr(6));
  } else if (StartsWithNoCase(address, "FILE://")) {
    identity_ = address;
    LoadFromFile(address.substr(7));
  } else if (!asynchronous_) {
    pending_address_ = address;
    identity_ = address;
  } else if (!download_running_) {
    // Downloads are not made: the address waits, and the picture stays empty.
    pending_address_ = address;
    download_running_ = true;
  }
}

void THTMLPicture::Assign(const THTMLPicture* source) {
  empty_ = true;
  decoded_.reset();
  frame_count_ = -1;
  frame_ = 1;
  if (source == nullptr) {
    data_.clear();
    return;
  }
  LoadFromBytes(source->data_);
}

void THTMLPicture::Draw(DrawingSurface& surface, const Rect& rect) const {
  if (empty_ || !decoded_) return;
  if (stretch_) {
    surface.DrawPicture(*this, rect);
    return;
  }
  const int dpi = surface.PixelsPerInch();
  const Size size = decoded_->HimetricSize();
  const int width = std::min(HimetricToPixels(size.cx, dpi), kMaxPictureExtent);
  const int height = std::min(HimetricToPixels(size.cy, dpi), kMaxPictureExtent);
  surface.DrawPicture(*this, Rect{rect.left, rect.top, rect.left + width, rect.top + height});
}

int THTMLPicture::Width() const {
  return decoded_ ? HimetricToPixels(decoded_->HimetricSize().cx, x_resolution_) : 0;
}

int THTMLPicture::Height() const {
  return decoded_ ? HimetricToPixels(decoded_->HimetricSize().cy, y_resolution_) : 0;
}

void THTMLPicture::SetFrame(int frame) {
  frame_ = frame;
  if (data_.empty()) return;
  Load();
  if (OnFrameChange) OnFrameChange(this);
}

int THTMLPicture::FrameCount() const {
  if (frame_count_ >= 0) return frame_count_;
  const std::span<const std::uint8_t> data(data_);
  if (!IsGif(data)) return -1;
  frame_count_ = static_cast<int>(ReadGifLayout(data).frames.size());
  return frame_count_;
}

Rect THTMLPicture::FrameRect() const {
  return Rect{frame_left_, frame_top_, frame_left_ + frame_width_, frame_top_ + frame_height_};
}

}  // namespace htmlabel
