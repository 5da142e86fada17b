#include "htmlabel/system_icons_win.h"

#include "htmlabel/common_image_list_win.h"

#include <shellapi.h>

#include <algorithm>

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace htmlabel {
namespace {

UINT SizeFlag(bool large) {
  return large ? SHGFI_LARGEICON : SHGFI_SMALLICON;
}

constexpr std::size_t kMaxKnownIcons = 512;  // names whose icon index is kept

// The icon indexes asked for so far: the shell's answer costs a file system
// look-up and more, and a label asks at every layout of every paint.
struct KnownIcons {
  std::mutex mutex;
  std::map<std::pair<std::string, bool>, int> index;
};

KnownIcons& Known() {
  static KnownIcons known;
  return known;
}

int AskShell(const std::string& name, bool large) {
  SHFILEINFOA info{};
  UINT flags = SHGFI_SYSICONINDEX | SizeFlag(large);
  DWORD attributes = 0;
  if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
    flags |= SHGFI_USEFILEATTRIBUTES;
    attributes = FILE_ATTRIBUTE_NORMAL;
  }
  if (!SHGetFileInfoA(name.c_str(), attributes, &info, sizeof info, flags)) return -1;
  return info.iIcon;
}

}  // namespace

HIMAGELIST SystemImageList(bool large) {
  // The system image lists are the process's for its whole life.
  static const HIMAGELIST lists[2] = {
      [] {
        SHFILEINFOA info{};
        return reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoA(".txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SizeFlag(false)));
      }(),
      [] {
        SHFILEINFOA info{};
        return reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoA(".txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SizeFlag(true)));
      }()};
  return lists[large ? 1 : 0];
}

int SystemIconIndexOf(const std::string& name, bool large) {
  KnownIcons& known = Known();
  {
    std::lock_guard<std::mutex> lock(known.mutex);
    const auto found = known.index.find({name, large});
    if (found != known.index.end()) return found->second;
  }
  const int index = AskShell(name, large);
  std::lock_guard<std::mutex> lock(known.mutex);
  if (known.index.size() >= kMaxKnownIcons) known.index.clear();
  known.index[{name, large}] = index;
  return index;
}

namespace {

constexpr std::size_t kMaxIconCopies = 256;

// An icon drawn once: premultiplied 32-bit pixels with their alpha, selected
// into a memory device context.
struct IconCopy {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
};

struct IconCopies {
  std::mutex mutex;
  std::map<std::pair<int, bool>, IconCopy> copies;
};

IconCopies& Copies() {
  static IconCopies copies;
  return copies;
}

// A top-down 32-bit DIB section of width x height selected into a new memory
// device context; its pixels through *bits.
bool MakeDib(int width, int height, IconCopy* copy, std::uint32_t** bits) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  copy->dc = CreateCompatibleDC(nullptr);
  copy->bitmap =
      copy->dc ? CreateDIBSection(copy->dc, &format, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
  if (!copy->bitmap) {
    if (copy->dc) DeleteDC(copy->dc);
    *copy = IconCopy{};
    return false;
  }
  SelectObject(copy->dc, copy->bitmap);
  copy->width = width;
  copy->height = height;
  *bits = static_cast<std::uint32_t*>(pixels);
  return true;
}

void FreeCopy(IconCopy* copy) {
  if (copy->dc) DeleteDC(copy->dc);
  if (copy->bitmap) DeleteObject(copy->bitmap);
  *copy = IconCopy{};
}

// The icon over black gives its premultiplied colours, over white its
// coverage: white - black = (1 - alpha) * 255 in every channel.
IconCopy MakeCopy(HIMAGELIST list, int index, int width, int height) {
  IconCopy result;
  IconCopy white;
  std::uint32_t* black_bits = nullptr;
  std::uint32_t* white_bits = nullptr;
  if (!MakeDib(width, height, &result, &black_bits) ||
      !MakeDib(width, height, &white, &white_bits)) {
    FreeCopy(&result);
    return result;
  }
  const std::size_t count = static_cast<std::size_t>(width) * height;
  std::fill(black_bits, black_bits + count, 0u);
  std::fill(white_bits, white_bits + count, 0xFFFFFFu);
  ImageList_Draw(list, index, result.dc, 0, 0, ILD_TRANSPARENT);
  ImageList_Draw(list, index, white.dc, 0, 0, ILD_TRANSPARENT);
  GdiFlush();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t b = black_bits[i] & 0xFFFFFF;
    const std::uint32_t w = white_bits[i] & 0xFFFFFF;
    const int difference = static_cast<int>(w & 0xFF) - static_cast<int>(b & 0xFF);
    const std::uint32_t alpha = static_cast<std::uint32_t>(255 - std::clamp(difference, 0, 255));
    black_bits[i] = b | alpha << 24;
  }
  FreeCopy(&white);
  return result;
}

}  // namespace

void DrawSystemIconAt(int index, bool large, HDC dc, const RECT& rect) {
  HIMAGELIST list = SystemImageList(large);
  int width = 0;
  int height = 0;
  if (!list || index < 0 || index >= ImageList_GetImageCount(list) ||
      !ImageList_GetIconSize(list, &width, &height) || width <= 0 || height <= 0) {
    return;
  }
  IconCopies& copies = Copies();
  std::lock_guard<std::mutex> lock(copies.mutex);
  auto found = copies.copies.find({index, large});
  if (found == copies.copies.end()) {
    if (copies.copies.size() >= kMaxIconCopies) {
      for (auto& [key, copy] : copies.copies)
        FreeCopy(&copy);
      copies.copies.clear();
    }
    found =
        copies.copies.emplace(std::make_pair(index, large), MakeCopy(list, index, width, height))
            .first;
  }
  const IconCopy& copy = found->second;
  if (!copy.dc) {
    DrawImageListImage(list, index, dc, rect, ILD_TRANSPARENT);
    return;
  }
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, copy.dc, 0, 0,
             copy.width, copy.height, blend);
}

}  // namespace htmlabel
