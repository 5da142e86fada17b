#include "trace/symbols/symbol_sources.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/pe/fake_address_space.h"
#include "tests/symbols/sample_table.h"
#include "trace/pe/pe_resource.h"
#include "trace/symbols/map_text_writer.h"
#include "trace/symbols/symbol_block_writer.h"
#include "trace/symbols/symbol_cache.h"
#include "trace/symbols/td32_writer.h"

namespace trace {
namespace {

constexpr uint32_t kBase = 0x10000000;
constexpr uint32_t kResources = 0x2800;
constexpr uint32_t kResourceData = 0x2A00;

// The test image with a resource tree KIV/EXCEPT/0x409 holding data at kResourceData.
std::vector<uint8_t> ImageWithResource(const std::string& data) {
  using testing::PutBytes;
  using testing::PutDword;
  using testing::PutWord;
  std::vector<uint8_t> image = testing::MakeTestImage();
  PutDword(image, testing::kTestOptionalHeader + 96 + 16, kResources);
  PutDword(image, testing::kTestOptionalHeader + 96 + 20, 0x200);
  const uint32_t r = kResources;
  PutWord(image, r + 12, 1);
  PutDword(image, r + 16, 0x80000000 | 0x100);
  PutDword(image, r + 20, 0x80000000 | 0x20);
  PutWord(image, r + 0x20 + 12, 1);
  PutDword(image, r + 0x20 + 16, 0x80000000 | 0x110);
  PutDword(image, r + 0x20 + 20, 0x80000000 | 0x40);
  PutWord(image, r + 0x40 + 14, 1);
  PutDword(image, r + 0x40 + 16, 0x409);
  PutDword(image, r + 0x40 + 20, 0x60);
  PutDword(image, r + 0x60, kResourceData);
  PutDword(image, r + 0x64, static_cast<uint32_t>(data.size()));
  PutBytes(image, r + 0x100, std::string_view("\3\0K\0I\0V\0", 8));
  PutBytes(image, r + 0x110, std::string_view("\6\0E\0x\0C\0E\0P\0T\0", 14));
  PutBytes(image, kResourceData, data);
  return image;
}

class FakeFiles : public SymbolFiles {
 public:
  std::optional<std::string> ModuleResource(uint32_t module) const override {
    if (space == nullptr) return std::nullopt;
    return FindResourceData(*space, module, "KIV", "EXCEPT");
  }
  bool Exists(const std::string& name) const override { return files.count(name) != 0; }
  std::optional<std::string> Load(const std::string& name) const override {
    read.push_back(name);
    const auto it = files.find(name);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  std::unique_ptr<FileBytes> Map(const std::string& name) const override {
    read.push_back(name);
    const auto it = files.find(name);
    if (it == files.end()) return nullptr;
    struct Bytes : FileBytes {
      std::string data;
      std::string_view bytes() const override { return data; }
    };
    auto bytes = std::make_unique<Bytes>();
    bytes->data = it->second;
    return bytes;
  }

  const AddressSpace* space = nullptr;
  std::map<std::string, std::string> files;
  mutable std::vector<std::string> read;
};

TEST(SymbolSourcesTest, ReplaceExtension) {
  EXPECT_EQ(ReplaceExtension("C:\\a.b\\app.exe", ".map"), "C:\\a.b\\app.map");
  EXPECT_EQ(ReplaceExtension("C:\\a.b\\app", ".map"), "C:\\a.b\\app.map");
  EXPECT_EQ(ReplaceExtension("/x/app.exe", ".kiv"), "/x/app.kiv");
}

TEST(SymbolSourcesTest, EmbeddedBlockComesFirst) {
  testing::FakeAddressSpace space;
  space.Map(kBase, ImageWithResource(WriteSymbolBlock(testing::SampleTable())));
  FakeFiles files;
  files.space = &space;
  files.files["C:\\app\\app.map"] = "Publics by Value\r\n\r\n 0001:00000000       Other\r\n";
  const TMapFile map = LoadMapFile(&space, kBase, "C:\\app\\app.exe", files);
  EXPECT_TRUE(map.valid());
  EXPECT_EQ(map.code_start(), kBase + 0x1000);
  EXPECT_EQ(map.code_end(), kBase + 0x2000);
  EXPECT_EQ(map.PublicAt(kBase + 0x1210).name, "THTMLabel::Paint");
  EXPECT_EQ(map.symbol_file_name(), "C:\\app\\app.exe");
  EXPECT_TRUE(files.read.empty());
}

TEST(SymbolSourcesTest, BlockWithBadCrcEndsTheSearch) {
  std::string block = WriteSymbolBlock(testing::SampleTable());
  block[40] ^= 1;
  testing::FakeAddressSpace space;
  space.Map(kBase, ImageWithResource(block));
  FakeFiles files;
  files.space = &space;
  files.files["C:\\app\\app.map"] = WriteMapText(testing::SampleTable());
  const TMapFile map = LoadMapFile(&space, kBase, "C:\\app\\app.exe", files);
  EXPECT_TRUE(map.valid());
  EXPECT_TRUE(map.publics().empty());
  EXPECT_TRUE(files.read.empty());
}

TEST(SymbolSourcesTest, WrongVersionFallsThroughInOrder) {
  std::string block = WriteSymbolBlock(testing::SampleTable());
  block[18] = 1;
  testing::FakeAddressSpace space;
  space.Map(kBase, ImageWithResource(block));
  FakeFiles files;
  files.space = &space;
  SymbolTable kiv_table;
  kiv_table.functions = {{"FromKiv", 0}};
  files.files["C:\\app\\app.kiv"] = WriteSymbolBlock(kiv_table);

  TMapFile map = LoadMapFile(&space, kBase, "C:\\app\\app.exe", files);
  EXPECT_EQ(files.read,
            (std::vector<std::string>{"C:\\app\\app.exe", "C:\\app\\app.map", "C:\\app\\app.kiv"}));
  EXPECT_EQ(map.symbol_file_name(), "C:\\app\\app.kiv");
  EXPECT_EQ(map.ExactName(kBase + 0x1000), "FromKiv");

  files.files["C:\\app\\app.map"] = WriteMapText(testing::SampleTable());
  map = LoadMapFile(&space, kBase, "C:\\app\\app.exe", files);
  EXPECT_EQ(map.symbol_file_name(), "C:\\app\\app.map");
  EXPECT_EQ(map.ExactName(kBase + 0x1010), "WinMain");

  files.files["C:\\app\\app.tds"] = WriteTd32(testing::SampleTable());
  map = LoadMapFile(&space, kBase, "C:\\app\\app.exe", files);
  EXPECT_EQ(map.symbol_file_name(), "C:\\app\\app.exe");
  EXPECT_EQ(map.ExactName(kBase + 0x1200), "THTMLabel.Paint");
}

TEST(SymbolSourcesTest, WithoutModuleOnlyFiles) {
  FakeFiles files;
  EXPECT_FALSE(LoadMapFile(nullptr, 0, "C:\\app\\app.exe", files).valid());
  files.files["C:\\app\\app.tds"] = WriteTd32(testing::SampleTable());
  const TMapFile map = LoadMapFile(nullptr, 0, "C:\\app\\app.exe", files);
  EXPECT_TRUE(map.valid());
  EXPECT_EQ(map.publics().size(), 6u);
}

TEST(SymbolCacheTest, RebuildsWhenTheSymbolFileChanges) {
  std::map<std::string, uint32_t> dates = {{"C:\\APP.MAP", 1}};
  SymbolCache cache([&](const std::string& name) { return dates[name]; });
  int builds = 0;
  const auto build = [&] {
    ++builds;
    TMapFile map;
    map.SetModule(kBase, "C:\\app.exe");
    map.set_symbol_file_name("C:\\APP.MAP");
    map.set_valid(true);
    return map;
  };
  const auto first = cache.Get("C:\\app.exe", build);
  EXPECT_EQ(cache.Get("c:\\APP.exe", build), first);
  EXPECT_EQ(builds, 1);
  dates["C:\\APP.MAP"] = 2;
  const auto second = cache.Get("C:\\app.exe", build);
  EXPECT_NE(second, first);
  EXPECT_EQ(builds, 2);
  EXPECT_EQ(cache.size(), 1u);
  // Invalid data is handed out but not kept.
  EXPECT_FALSE(cache.Get("C:\\other.exe", [] { return TMapFile(); })->valid());
  EXPECT_EQ(cache.size(), 1u);
}

}  // namespace
}  // namespace trace
