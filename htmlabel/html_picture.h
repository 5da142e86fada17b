// THTMLPicture: a picture kept as its file's bytes and decoded by the system's
// picture loader (JPEG, GIF, BMP, icons, metafiles), which can show a chosen
// frame of an animated GIF. Pictures named by "RES://" and "FILE://" addresses
// are loaded at once; any other address is only recorded as the picture's
// identity, and the picture stays empty.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/object.h"
#include "htmlabel/drawing_surface.h"
#include "htmlabel/picture_decoder.h"

namespace htmlabel {

// Download events: declared for handlers; no download ever raises them.
using TDownloadErrorEvent = std::function<void(fw::TObject* sender, const std::string& err)>;
using TDownloadCompleteEvent = std::function<void(fw::TObject* sender)>;
using TDownloadCancelEvent = std::function<void(fw::TObject* sender, bool& cancel)>;
using TDownloadProgressEvent =
    std::function<void(fw::TObject* sender, std::uint32_t size, std::uint32_t total)>;

// Files larger than this are not read.
constexpr std::size_t kMaxPictureFileBytes = 64u << 20;

class THTMLPicture : public fw::TObject, public SurfacePicture {
 public:
  // Raised after the picture changed (a load or an assignment).
  fw::TNotifyEvent OnChange;
  // Raised after Frame changed and the frame was loaded.
  fw::TNotifyEvent OnFrameChange;
  TDownloadErrorEvent OnDownLoadError;        // never raised: nothing is downloaded
  TDownloadCompleteEvent OnDownLoadComplete;  // never raised
  TDownloadCancelEvent OnDownLoadCancel;      // never raised
  TDownloadProgressEvent OnDownLoadProgress;  // never raised

  THTMLPicture() = default;
  THTMLPicture(const THTMLPicture&) = delete;
  THTMLPicture& operator=(const THTMLPicture&) = delete;

  // Takes the bytes as the picture's data and decodes them; throws
  // fw::Exception with the loader's message when they do not decode.
  void LoadFromBytes(std::span<const std::uint8_t> data);
  // The same from a file; any failure leaves the picture empty, without error.
  void LoadFromFile(const std::string& name);
  // The same from the program's raw-data resource of that name; nothing when
  // there is none. Throws as LoadFromBytes.
  void LoadFromResource(std::string_view name);
  // "RES://name" loads a resource, "FILE://path" a file (prefixes in any
  // case); any other address becomes the identity (and, when asynchronous,
  // the pending address) and nothing is loaded.
  void LoadFromAddress(const std::string& address);
  // The picture's data as loaded.
  const std::vector<std::uint8_t>& Data() const { return data_; }
  // Copies source's data and loads it; a null source empties the picture.
  void Assign(const THTMLPicture* source);
  // Draws the picture on the surface: stretched into rect with Stretch,
  // else at its natural size at rect's top-left corner. Nothing when empty.
  void Draw(DrawingSurface& surface, const Rect& rect) const;

  // True until a load succeeded.
  bool Empty() const { return empty_; }
  // The decoded picture, or null.
  const DecodedPicture* Decoded() const { return decoded_.get(); }
  // Width in pixels at the stored resolution (0 without a decoded picture).
  int Width() const override;
  // Height in pixels at the stored resolution.
  int Height() const override;
  // Setting the size does nothing.
  void SetWidth(int) {}
  // Setting the size does nothing.
  void SetHeight(int) {}

  // Drawn stretched into the target rectangle.
  bool Stretch() const { return stretch_; }
  // Sets Stretch.
  void SetStretch(bool value) { stretch_ = value; }
  // Whether a web address given to LoadFromAddress is recorded as pending.
  bool Asynchronous() const { return asynchronous_; }
  // Sets Asynchronous.
  void SetAsynchronous(bool value) { asynchronous_ = value; }
  // The address the picture was loaded from or named by.
  const std::string& ID() const { return identity_; }
  // The web address waiting for a download.
  const std::string& PendingAddress() const { return pending_address_; }
  // True once a web address was recorded for downloading.
  bool DownloadRunning() const { return download_running_; }

  // The GIF frame shown, from 1.
  int Frame() const { return frame_; }
  // Shows another frame: with data, loads again and raises OnFrameChange.
  void SetFrame(int frame);
  // The number of GIF frames, -1 when the data is not a GIF.
  int FrameCount() const;
  // The shown frame's position and size within the logical screen.
  Rect FrameRect() const;
  // The GIF's logical screen size (0 x 0 when not a GIF).
  Size ScreenSize() const { return Size{screen_width_, screen_height_}; }

 private:
  // Decodes data_ (the shown frame of a GIF); throws fw::Exception.
  void Load();

  std::vector<std::uint8_t> data_;
  bool empty_ = true;
  bool stretch_ = false;
  std::unique_ptr<DecodedPicture> decoded_;
  int x_resolution_ = 96;
  int y_resolution_ = 96;
  std::string pending_address_;
  std::string identity_;
  bool download_running_ = false;
  bool asynchronous_ = true;
  int frame_ = 1;
  mutable int frame_count_ = -1;
  std::uint16_t frame_left_ = 0;
  std::uint16_t frame_top_ = 0;
  std::uint16_t frame_width_ = 0;
  std::uint16_t frame_height_ = 0;
  std::uint16_t screen_width_ = 0;
  std::uint16_t screen_height_ = 0;
};

}  // namespace htmlabel
