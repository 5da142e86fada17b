// libjpeg as built for Windows by scripts/build-libjpeg: it links, encodes and
// decodes in memory, and reports a damaged stream through its error manager
// instead of ending the process.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void TrapError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

std::vector<unsigned char> EncodeGradient(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&info, &out, &out_size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(width * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width; ++x) {
      row[x * 3] = static_cast<unsigned char>(x * 255 / (width - 1));
      row[x * 3 + 1] = static_cast<unsigned char>(info.next_scanline * 255 / (height - 1));
      row[x * 3 + 2] = 128;
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<unsigned char> result(out, out + out_size);
  std::free(out);
  return result;
}

// Decodes to RGB; false when libjpeg reports an error.
bool Decode(const std::vector<unsigned char>& data, int* width, int* height,
            std::vector<unsigned char>* pixels) {
  jpeg_decompress_struct info{};
  ErrorTrap trap{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = TrapError;
  trap.manager.output_message = [](j_common_ptr) {};
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *width = static_cast<int>(info.output_width);
  *height = static_cast<int>(info.output_height);
  pixels->assign(static_cast<size_t>(*width) * *height * 3, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[] = {pixels->data() + info.output_scanline * *width * 3};
    jpeg_read_scanlines(&info, rows, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

TEST(Libjpeg, RoundTripKeepsSizeAndColours) {
  const auto jpeg = EncodeGradient(64, 32);
  ASSERT_GT(jpeg.size(), 100u);
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
  ASSERT_TRUE(Decode(jpeg, &width, &height, &pixels));
  EXPECT_EQ(width, 64);
  EXPECT_EQ(height, 32);
  // Top-left is dark red-green, bottom-right bright: within JPEG's loss.
  EXPECT_NEAR(pixels[0], 0, 12);
  EXPECT_NEAR(pixels[(31 * 64 + 63) * 3], 255, 12);
  EXPECT_NEAR(pixels[(31 * 64 + 63) * 3 + 1], 255, 12);
  EXPECT_NEAR(pixels[(16 * 64 + 32) * 3 + 2], 128, 12);
}

TEST(Libjpeg, DamagedStreamIsReportedNotFatal) {
  auto jpeg = EncodeGradient(16, 16);
  jpeg.resize(20);  // header cut short
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
  EXPECT_FALSE(Decode(jpeg, &width, &height, &pixels));
  EXPECT_FALSE(Decode({0x00, 0x01, 0x02}, &width, &height, &pixels));
}

}  // namespace
