// TJPEGImage: JFIF decoding through libjpeg. libjpeg reports errors through
// its error manager; ours jumps back here instead of ending the process, and
// no C++ object with a destructor lives between setjmp and longjmp.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "framework/exception.h"
#include "framework/picture.h"

namespace fw {

namespace {

struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void TrapError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

constexpr unsigned long kMaxPixels = 16ul * 1024 * 1024;

// Decodes into pixels; false on any libjpeg error or an oversized picture.
bool Decode(const std::uint8_t* data, std::size_t size, int* width, int* height,
            std::vector<std::uint32_t>* pixels, std::vector<std::uint8_t>* row) {
  jpeg_decompress_struct info{};
  ErrorTrap trap{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = TrapError;
  trap.manager.output_message = IgnoreMessage;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&info);
  if (info.output_width == 0 || info.output_height == 0 ||
      static_cast<unsigned long>(info.output_width) * info.output_height > kMaxPixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // The buffers are sized before decoding starts; from here on nothing
  // allocates, so nothing can throw while libjpeg may jump.
  pixels->assign(static_cast<std::size_t>(info.output_width) * info.output_height, 0);
  row->assign(static_cast<std::size_t>(info.output_width) * 3, 0);
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    const std::size_t y = info.output_scanline;
    JSAMPROW rows[] = {row->data()};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    std::uint32_t* out = pixels->data() + y * info.output_width;
    for (JDIMENSION x = 0; x < info.output_width; ++x) {
      const std::uint8_t* p = row->data() + x * 3;
      out[x] = (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
    }
  }
  *width = static_cast<int>(info.output_width);
  *height = static_cast<int>(info.output_height);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

void TJPEGImage::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> row;
  int width = 0;
  int height = 0;
  if (!Decode(data, size, &width, &height, &pixels, &row))
    throw EReadError("JPEG image is not valid");
  SetPixels(width, height, std::move(pixels));
}

}  // namespace fw
