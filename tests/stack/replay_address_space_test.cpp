// The replayed address space over real PE files: the chains' program and Wine's DLLs at their
// bases or moved, imports bound to each other's exports, memory blocks beside them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/stack/replay_fixture.h"
#include "trace/stack/replay_image_fixups.h"

namespace trace::testing {
namespace {

std::vector<uint8_t> FileOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

uint32_t DwordOf(const std::vector<uint8_t>& bytes, uint32_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<uint32_t>(bytes[at + 3]) << 24;
}

TEST(ReplayAddressSpace, RegionsModulesExportsAndSymbolsOfEachPiece) {
  ChainWorld world;
  std::string error;
  ASSERT_TRUE(world.Load(error)) << error;
  ReplayAddressSpace& space = world.space;
  ASSERT_TRUE(space.AddMemory(0x120000, std::vector<uint8_t>(0x10000, 0xAB), error)) << error;

  // The image: one committed region from its base, its allocation base the module handle.
  const PeFileView* view = space.ViewAt(0x401000);
  ASSERT_NE(view, nullptr);
  const auto image = space.Region(0x401234);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->base, 0x400000u);
  EXPECT_EQ(image->allocation_base, 0x400000u);
  EXPECT_EQ(image->size, view->headers().image_size);
  EXPECT_TRUE(image->committed);
  ASSERT_TRUE(space.ModuleOf(0x401234));
  EXPECT_TRUE(space.ModuleOf(0x401234)->is_main);
  // The stack: its own allocation.
  const auto stack = space.Region(0x12FFFC);
  ASSERT_TRUE(stack);
  EXPECT_EQ(stack->base, 0x120000u);
  EXPECT_EQ(stack->allocation_base, 0x120000u);
  EXPECT_EQ(stack->size, 0x10000u);
  EXPECT_FALSE(space.ModuleOf(0x12FFFC));
  EXPECT_FALSE(space.Region(0x130000));
  EXPECT_FALSE(space.Region(0x11FFFF));
  uint32_t value = 0;
  EXPECT_FALSE(space.Read(0x12FFFE, &value, 4));  // runs off the block's end
  EXPECT_TRUE(space.Read(0x12FFFC, &value, 4));
  EXPECT_EQ(value, 0xABABABABu);

  // Symbol data from the embedded block, cached.
  const auto map = space.SymbolData(0x400000);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map, space.SymbolData(0x400000));
  EXPECT_NE(world.Function("chains::Alpha1"), 0u);
  EXPECT_EQ(space.SymbolData(0x120000), nullptr);

  if (!world.HasWine()) return;
  const uint32_t qsort = world.Export("msvcrt.dll", "qsort");
  ASSERT_NE(qsort, 0u);
  EXPECT_EQ(space.ExportName(qsort), "qsort");
  EXPECT_EQ(FileNameOf(space.ModuleOf(qsort)->path), "msvcrt.dll");
  EXPECT_FALSE(space.ModuleOf(qsort)->is_main);
  EXPECT_EQ(space.SymbolData(space.ModuleOf(qsort)->base), nullptr);
  // The program's call of qsort goes through its import slot, bound to msvcrt's export.
  const auto call = world.CallTo(world.Function("chains::SortRecords"), qsort);
  EXPECT_TRUE(call) << "SortRecords's call does not reach msvcrt's qsort";
}

TEST(ReplayAddressSpace, OverlapsAndImmovableFilesAreRefusedByName) {
  ReplayAddressSpace space;
  std::string error;
  ASSERT_TRUE(space.AddModule(REPLAY_IMAGE, std::nullopt, error)) << error;
  EXPECT_FALSE(space.AddModule(REPLAY_IMAGE, std::nullopt, error));
  EXPECT_NE(error.find("overlaps"), std::string::npos) << error;
  EXPECT_NE(error.find("00400000"), std::string::npos) << error;
  EXPECT_FALSE(space.AddMemory(0x400800, std::vector<uint8_t>(16), error));
  EXPECT_NE(error.find("chains.exe"), std::string::npos) << error;
  EXPECT_FALSE(space.AddModule(REPLAY_IMAGE, 0x10001000, error));
  EXPECT_NE(error.find("64 KB"), std::string::npos) << error;
  EXPECT_FALSE(space.AddModule("/nonexistent/file.dll", std::nullopt, error));
  EXPECT_NE(error.find("/nonexistent/file.dll"), std::string::npos) << error;

  // Without relocations a file stays at its image base.
  std::vector<uint8_t> stripped = FileOf(REPLAY_IMAGE);
  const uint32_t pe = DwordOf(stripped, 0x3C);
  stripped[pe + 4 + 18] |= 1;  // IMAGE_FILE_RELOCS_STRIPPED
  EXPECT_FALSE(space.AddModuleBytes(stripped, "stripped.exe", 0x20000000, error));
  EXPECT_NE(error.find("no relocations"), std::string::npos) << error;
  EXPECT_NE(error.find("00400000"), std::string::npos) << error;
}

TEST(ReplayAddressSpace, MovedFileHasItsAbsoluteAddressesMoved) {
  const std::vector<uint8_t> original = FileOf(REPLAY_IMAGE);
  std::string error;
  std::vector<uint8_t> moved = original;
  ASSERT_TRUE(RebasePeFile(moved, 0x10000000, error)) << error;
  ReplayAddressSpace here, there;
  ASSERT_TRUE(here.AddModuleBytes(original, "chains.exe", std::nullopt, error)) << error;
  ASSERT_TRUE(there.AddModuleBytes(moved, "chains.exe", std::nullopt, error)) << error;
  ASSERT_TRUE(there.ViewAt(0x10001000));
  EXPECT_EQ(there.ViewAt(0x10001000)->image_base(), 0x10000000u);
  // The code holds absolute addresses: they moved with it.
  const PeFileView& a = *here.ViewAt(0x401000);
  int changed = 0;
  for (const MappedSection& section : a.CodeSections()) {
    for (uint32_t at = section.begin; at + 4 <= section.end; ++at) {
      uint8_t x = 0, y = 0;
      ASSERT_TRUE(here.Read(at, &x, 1));
      ASSERT_TRUE(there.Read(at - 0x400000 + 0x10000000, &y, 1));
      if (x != y) ++changed;
    }
  }
  EXPECT_GT(changed, 0);
  // The symbol data follows the code.
  const auto map_here = here.SymbolData(0x400000);
  const auto map_there = there.SymbolData(0x10000000);
  ASSERT_TRUE(map_here && map_there);
  ASSERT_EQ(map_here->publics().size(), map_there->publics().size());
  for (size_t i = 0; i < map_here->publics().size(); ++i) {
    EXPECT_EQ(map_there->publics()[i].address - 0x10000000,
              map_here->publics()[i].address - 0x400000);
  }
  // Moving back gives the file again.
  ASSERT_TRUE(RebasePeFile(moved, 0x400000, error)) << error;
  EXPECT_EQ(moved, original);
}

TEST(ReplayAddressSpace, MalformedRelocationsLeaveTheFileAsItWas) {
  std::vector<uint8_t> file = FileOf(REPLAY_IMAGE);
  const uint32_t pe = DwordOf(file, 0x3C);
  const uint32_t directory_rva = DwordOf(file, pe + 24 + 96 + 5 * 8);
  ASSERT_NE(directory_rva, 0u);
  // The relocation section's file offset: find the section that holds the directory.
  const uint32_t sections = pe + 24 + (file[pe + 20] | file[pe + 21] << 8);
  const int count = file[pe + 6] | file[pe + 7] << 8;
  uint32_t raw = 0;
  for (int i = 0; i < count; ++i) {
    const uint32_t entry = sections + 40 * i;
    const uint32_t va = DwordOf(file, entry + 12);
    if (directory_rva >= va && directory_rva < va + DwordOf(file, entry + 8))
      raw = DwordOf(file, entry + 20) + directory_rva - va;
  }
  ASSERT_NE(raw, 0u);
  for (const uint32_t block_size : {0x7FFFFFF0u, 5u, 3u}) {
    std::vector<uint8_t> bad = file;
    for (int i = 0; i < 4; ++i)
      bad[raw + 4 + i] = static_cast<uint8_t>(block_size >> (8 * i));
    const std::vector<uint8_t> before = bad;
    std::string error;
    EXPECT_FALSE(RebasePeFile(bad, 0x10000000, error)) << block_size;
    EXPECT_NE(error.find("malformed"), std::string::npos) << error;
    EXPECT_EQ(bad, before);
  }
}

}  // namespace
}  // namespace trace::testing
