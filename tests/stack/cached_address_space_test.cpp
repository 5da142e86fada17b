// The page cache the tracer reads the live process through: the same bytes and answers as
// the space beneath, each page and answer asked for once until forgotten.
#include "trace/stack/cached_address_space.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/x86/fake_address_space.h"

namespace trace {
namespace {

using testing::FakeAddressSpace;

// The space beneath, counting what it is asked.
class CountingSpace : public FakeAddressSpace {
 public:
  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    ++reads;
    return FakeAddressSpace::Read(address, buffer, count);
  }
  std::optional<MemoryRegion> Region(uint32_t address) const override {
    ++region_calls;
    return FakeAddressSpace::Region(address);
  }
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override {
    ++module_calls;
    return FakeAddressSpace::ModuleOf(address);
  }
  std::string ExportName(uint32_t address) const override {
    ++export_calls;
    return FakeAddressSpace::ExportName(address);
  }
  mutable int reads = 0, region_calls = 0, module_calls = 0, export_calls = 0;
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

TEST(CachedAddressSpace, ReadsEachWholeChunkOnceAndGivesTheSameBytes) {
  CountingSpace inner;
  const std::vector<uint8_t> bytes = Pattern(8 * 4096);  // two chunks of 16 KB
  inner.Add(0x10000, bytes);
  CachedAddressSpace cache(inner);
  // Across the first two pages, then inside the fourth: one read of the first chunk.
  std::vector<uint8_t> got(6000);
  ASSERT_TRUE(cache.Read(0x10000 + 100, got.data(), 6000));
  EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 100, bytes.begin() + 6100));
  ASSERT_TRUE(cache.Read(0x13000 + 8, got.data(), 16));
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 16),
            std::vector<uint8_t>(bytes.begin() + 0x3008, bytes.begin() + 0x3018));
  EXPECT_EQ(inner.reads, 1);
  // The second chunk, across its end: one more read, and the bytes past the end fail.
  EXPECT_EQ(cache.ReadDword(0x17000 + 4092), inner.ReadDword(0x17000 + 4092));
  EXPECT_EQ(inner.reads, 3);  // the chunk and the check's own read
  EXPECT_EQ(cache.pages(), 8u);
  EXPECT_FALSE(cache.Read(0x17000 + 4094, got.data(), 4));
  EXPECT_FALSE(cache.Read(0xFFFFFFFE, got.data(), 4));  // wraps
}

TEST(CachedAddressSpace, ReadsAPageAloneWhereItsChunkIsNotWhole) {
  CountingSpace inner;
  const std::vector<uint8_t> bytes = Pattern(3 * 4096);
  inner.Add(0x40000, bytes);
  CachedAddressSpace cache(inner);
  EXPECT_EQ(cache.ReadDword(0x41004), inner.ReadDword(0x41004));
  EXPECT_EQ(inner.reads, 3);  // the chunk, the page, the check
  EXPECT_EQ(cache.ReadDword(0x41008), inner.ReadDword(0x41008));
  EXPECT_EQ(inner.reads, 4);
  EXPECT_EQ(cache.pages(), 1u);
}

TEST(CachedAddressSpace, PartlyReadablePagesReadAsBeneath) {
  CountingSpace inner;
  const std::vector<uint8_t> bytes = Pattern(0x30);
  inner.Add(0x20010, bytes);  // 48 bytes in the middle of a page
  CachedAddressSpace cache(inner);
  uint8_t got[16];
  ASSERT_TRUE(cache.Read(0x20010, got, 16));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 16),
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16));
  EXPECT_FALSE(cache.Read(0x2000C, got, 8));  // starts before the bytes
  EXPECT_FALSE(cache.Read(0x2003C, got, 8));  // ends after them
  EXPECT_EQ(cache.pages(), 1u);               // known as not whole
  EXPECT_FALSE(cache.Read(0x50000, got, 4));  // nothing there
}

TEST(CachedAddressSpace, AsksForEachRegionOnce) {
  CountingSpace inner;
  inner.Add(0x10000, Pattern(0x3000));
  inner.Add(0x30000, Pattern(0x100));
  CachedAddressSpace cache(inner);
  for (uint32_t address : {0x10000u, 0x12FFFu, 0x11234u, 0x30080u, 0x30000u}) {
    const std::optional<MemoryRegion> region = cache.Region(address);
    ASSERT_TRUE(region.has_value()) << std::hex << address;
    EXPECT_EQ(region->base, address < 0x30000 ? 0x10000u : 0x30000u);
    EXPECT_EQ(region->size, address < 0x30000 ? 0x3000u : 0x100u);
  }
  EXPECT_EQ(inner.region_calls, 2);
  // Where there is none, asked every time.
  EXPECT_FALSE(cache.Region(0x13000).has_value());
  EXPECT_FALSE(cache.Region(0x13000).has_value());
  EXPECT_EQ(inner.region_calls, 4);
  cache.Forget();
  EXPECT_TRUE(cache.Region(0x10000).has_value());
  EXPECT_EQ(inner.region_calls, 5);
}

TEST(CachedAddressSpace, AsksForModulesAndExportNamesOncePerAddress) {
  CountingSpace inner;
  inner.Add(0x400000, Pattern(0x1000));
  inner.AddModule(0x400000, 0x1000, "C:\\app\\program.exe", true);
  inner.AddExport(0x400100, "Run");
  CachedAddressSpace cache(inner);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(cache.ModuleOf(0x400100).has_value());
    EXPECT_EQ(cache.ModuleOf(0x400100)->path, "C:\\app\\program.exe");
    EXPECT_FALSE(cache.ModuleOf(0x500000).has_value());
    EXPECT_EQ(cache.ExportName(0x400100), "Run");
    EXPECT_EQ(cache.ExportName(0x400104), "");
  }
  EXPECT_EQ(inner.module_calls, 2);
  EXPECT_EQ(inner.export_calls, 2);
}

TEST(CachedAddressSpace, ForgetReadsAgainAndTheBoundKeepsReadsRight) {
  CountingSpace inner;
  const std::vector<uint8_t> bytes = Pattern((CachedAddressSpace::kMaxPages + 8) * 4096);
  inner.Add(0x1000000, bytes);
  CachedAddressSpace cache(inner);
  uint8_t got[4];
  ASSERT_TRUE(cache.Read(0x1000000, got, 4));
  cache.Forget();
  EXPECT_EQ(cache.pages(), 0u);
  ASSERT_TRUE(cache.Read(0x1000000, got, 4));
  EXPECT_EQ(inner.reads, 2);
  // More pages than the cache keeps: every read still gives the bytes beneath.
  for (uint32_t page = 0; page < CachedAddressSpace::kMaxPages + 8; ++page) {
    const uint32_t offset = page * 4096 + (page % 4000);
    ASSERT_TRUE(cache.Read(0x1000000 + offset, got, 4));
    ASSERT_EQ(got[3], bytes[offset + 3]) << "page " << page;
  }
  EXPECT_LE(cache.pages(), CachedAddressSpace::kMaxPages);
}

}  // namespace
}  // namespace trace
