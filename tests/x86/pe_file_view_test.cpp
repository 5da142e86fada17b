#include "trace/pe/pe_file_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace trace {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A PE32 DLL at 0x10000000 with one code section (.text at 0x1000, raw data at 0x200) and
// one data section whose raw data lies beyond the end of the file.
std::vector<uint8_t> SmallImage() {
  std::vector<uint8_t> b(0x400, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  b[0x40] = 'P';
  b[0x41] = 'E';
  const size_t file_header = 0x44;
  Put16(b, file_header + 0, 0x14C);
  Put16(b, file_header + 2, 2);     // sections
  Put16(b, file_header + 16, 224);  // optional header size
  Put16(b, file_header + 18, 0x2102);
  const size_t opt = file_header + 20;
  Put16(b, opt + 0, 0x10B);
  Put32(b, opt + 16, 0x1000);      // entry point
  Put32(b, opt + 28, 0x10000000);  // image base
  Put32(b, opt + 32, 0x1000);      // section alignment
  Put32(b, opt + 36, 0x200);       // file alignment
  Put32(b, opt + 56, 0x3000);      // size of image
  Put32(b, opt + 60, 0x200);       // size of headers
  Put32(b, opt + 92, 16);          // directories
  const size_t sections = opt + 224;
  std::memcpy(&b[sections], ".text", 5);
  Put32(b, sections + 8, 0x10);  // virtual size
  Put32(b, sections + 12, 0x1000);
  Put32(b, sections + 16, 0x200);
  Put32(b, sections + 20, 0x200);
  Put32(b, sections + 36, 0x60000020);
  std::memcpy(&b[sections + 40], ".data", 5);
  Put32(b, sections + 48, 0x100);
  Put32(b, sections + 52, 0x2000);
  Put32(b, sections + 56, 0x200);
  Put32(b, sections + 60, 0x7FFFFFF0);  // raw data far beyond the file
  Put32(b, sections + 76, 0xC0000040);
  b[0x200] = 0x55;
  b[0x201] = 0xC3;
  b[0x210] = 0xCC;  // raw data beyond the virtual size is not mapped
  return b;
}

TEST(PeFileViewTest, MapsSectionsAtTheirAddresses) {
  std::string error;
  const auto view = PeFileView::FromBytes(SmallImage(), "C:\\x\\small.dll", error);
  ASSERT_TRUE(view) << error;
  EXPECT_EQ(view->image_base(), 0x10000000u);
  uint8_t code[2] = {};
  ASSERT_TRUE(view->Read(0x10001000, code, 2));
  EXPECT_EQ(code[0], 0x55);
  EXPECT_EQ(code[1], 0xC3);
  uint8_t byte = 1;
  ASSERT_TRUE(view->Read(0x10001010, &byte, 1));
  EXPECT_EQ(byte, 0);
  ASSERT_TRUE(view->Read(0x10002000, &byte, 1));
  EXPECT_EQ(byte, 0);
  EXPECT_FALSE(view->Read(0x10002FFF, code, 2));
  EXPECT_FALSE(view->Read(0x0FFFFFFF, &byte, 1));

  const auto code_sections = view->CodeSections();
  ASSERT_EQ(code_sections.size(), 1u);
  EXPECT_EQ(code_sections[0].name, ".text");
  EXPECT_EQ(code_sections[0].begin, 0x10001000u);
  EXPECT_EQ(code_sections[0].end, 0x10001010u);

  const auto module = view->ModuleOf(0x10001000);
  ASSERT_TRUE(module);
  EXPECT_EQ(module->base, 0x10000000u);
  EXPECT_EQ(module->image_size, 0x3000u);
  EXPECT_FALSE(module->is_main);
  EXPECT_TRUE(view->Region(0x10002FFF)->committed);
  EXPECT_FALSE(view->Region(0x10003000));
  EXPECT_EQ(view->ExportName(0x10001000), "");
}

TEST(PeFileViewTest, MalformedFilesGiveAnErrorNotAFault) {
  const std::vector<uint8_t> image = SmallImage();
  for (size_t size : {0u, 1u, 2u, 0x3Fu, 0x44u, 0x60u, 0x100u, 0x130u}) {
    std::string error;
    const std::vector<uint8_t> cut(image.begin(), image.begin() + size);
    EXPECT_FALSE(PeFileView::FromBytes(cut, "cut.dll", error)) << size;
    EXPECT_FALSE(error.empty());
  }
  // Complete headers without the section data: the sections read as zeros.
  std::string cut_error;
  const auto headers_only = PeFileView::FromBytes(
      std::vector<uint8_t>(image.begin(), image.begin() + 0x1FF), "cut.dll", cut_error);
  ASSERT_TRUE(headers_only) << cut_error;
  uint8_t byte = 1;
  ASSERT_TRUE(headers_only->Read(0x10001000, &byte, 1));
  EXPECT_EQ(byte, 0);

  std::vector<uint8_t> huge = image;
  Put32(huge, 0x44 + 20 + 56, 0xFFFFF000);  // size of image
  std::string error;
  EXPECT_FALSE(PeFileView::FromBytes(huge, "huge.dll", error));
  EXPECT_FALSE(PeFileView::Load("no such file.dll", error));
  EXPECT_NE(error.find("no such file.dll"), std::string::npos);
}

}  // namespace
}  // namespace trace
