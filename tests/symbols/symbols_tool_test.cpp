// The symbols tool on a PE file written by the test: its embedded block, then a map file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "tests/pe/fake_address_space.h"
#include "tests/symbols/sample_table.h"
#include "trace/symbols/map_text_writer.h"
#include "trace/symbols/symbol_block_writer.h"

namespace trace {
namespace {

// The test image as a file whose sections lie at their relative addresses, with the
// resource KIV/EXCEPT holding block (or no resource directory when block is empty).
std::vector<uint8_t> PeFileWith(const std::string& block) {
  using testing::PutBytes;
  using testing::PutDword;
  using testing::PutWord;
  std::vector<uint8_t> image = testing::MakeTestImage();
  const uint32_t sections = testing::kTestOptionalHeader + 0xE0;
  for (uint32_t i = 0; i < 2; ++i) {
    PutDword(image, sections + i * 40 + 16, 0x1000);
    PutDword(image, sections + i * 40 + 20, 0x1000 + i * 0x1000);
  }
  if (block.empty()) return image;
  const uint32_t r = 0x2800;
  PutDword(image, testing::kTestOptionalHeader + 96 + 16, r);
  PutDword(image, testing::kTestOptionalHeader + 96 + 20, 0x200);
  PutWord(image, r + 12, 1);
  PutDword(image, r + 16, 0x80000000 | 0x100);
  PutDword(image, r + 20, 0x80000000 | 0x20);
  PutWord(image, r + 0x20 + 12, 1);
  PutDword(image, r + 0x20 + 16, 0x80000000 | 0x110);
  PutDword(image, r + 0x20 + 20, 0x80000000 | 0x40);
  PutWord(image, r + 0x40 + 14, 1);
  PutDword(image, r + 0x40 + 20, 0x60);
  PutDword(image, r + 0x60, 0x2A00);
  PutDword(image, r + 0x64, static_cast<uint32_t>(block.size()));
  PutBytes(image, r + 0x100, std::string_view("\3\0K\0I\0V\0", 8));
  PutBytes(image, r + 0x110, std::string_view("\6\0E\0X\0C\0E\0P\0T\0", 14));
  PutBytes(image, 0x2A00, block);
  return image;
}

void WriteFile(const std::string& name, std::string_view bytes) {
  std::ofstream(name, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
    out += buffer;
  pclose(pipe);
  return out;
}

TEST(SymbolsToolTest, NamesAddressesFromTheBlockThenFromAMapFile) {
  const std::string dir = ::testing::TempDir();
  const std::string with_block = dir + "symbols_tool_block.dll";
  const std::vector<uint8_t> image = PeFileWith(WriteSymbolBlock(testing::SampleTable()));
  WriteFile(with_block,
            std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
  EXPECT_EQ(
      Output(std::string(SYMBOLS_TOOL) + " " + with_block + " 10001210 0x10001011 '$10000000'"),
      "10001210\thtml_label\tTHTMLabel::Paint\t99\n"
      "10001011\tmain\tWinMain\t12\n"
      "10000000\t-\t-\t-\n");

  const std::string plain = dir + "symbols_tool_map.dll";
  const std::vector<uint8_t> bare = PeFileWith("");
  WriteFile(plain, std::string_view(reinterpret_cast<const char*>(bare.data()), bare.size()));
  WriteFile(dir + "symbols_tool_map.map", WriteMapText(testing::SampleTable()));
  EXPECT_EQ(Output(std::string(SYMBOLS_TOOL) + " " + plain + " 10001210"),
            "10001210\thtml_label\tTHTMLabel.Paint\t99\n");
  std::remove(with_block.c_str());
  std::remove(plain.c_str());
  std::remove((dir + "symbols_tool_map.map").c_str());
}

}  // namespace
}  // namespace trace
