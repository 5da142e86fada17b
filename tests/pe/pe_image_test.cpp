#include "trace/pe/pe_image.h"

#include <gtest/gtest.h>

#include "tests/pe/fake_address_space.h"

namespace trace {
namespace {

using testing::FakeAddressSpace;
using testing::MakeTestImage;
using testing::PutDword;
using testing::PutWord;

constexpr uint32_t kBase = 0x10000000;

FakeAddressSpace SpaceWith(std::vector<uint8_t> image, uint32_t base = kBase) {
  FakeAddressSpace space;
  space.Map(base, std::move(image));
  return space;
}

TEST(PeImageTest, ReadsTheHeaderFields) {
  const FakeAddressSpace space = SpaceWith(MakeTestImage());
  const auto headers = ReadPeHeaders(space, kBase);
  ASSERT_TRUE(headers);
  EXPECT_EQ(headers->pe_offset, 0x80u);
  EXPECT_EQ(headers->machine, 0x14C);
  EXPECT_EQ(headers->time_date_stamp, 0x5F5E1000u);
  EXPECT_EQ(headers->characteristics, 0x2102);
  EXPECT_EQ(headers->image_base, 0x10000000u);
  EXPECT_EQ(headers->image_size, 0x3000u);
  EXPECT_EQ(headers->code_base, 0x1000u);
  EXPECT_EQ(headers->code_size, 0x200u);
  EXPECT_EQ(headers->data_base, 0x2000u);
  EXPECT_EQ(headers->entry_point, 0x1000u);
  ASSERT_EQ(headers->directories.size(), 16u);
  ASSERT_EQ(headers->sections.size(), 2u);
  EXPECT_EQ(headers->sections[0].name, ".text");
  EXPECT_EQ(headers->sections[1].name, ".edata");
  EXPECT_EQ(headers->sections[1].raw_offset, 0x600u);
}

TEST(PeImageTest, RejectsMalformedHeaders) {
  struct Case {
    const char* what;
    uint32_t offset;
    uint32_t value;
    bool dword;
  };
  const Case cases[] = {
      {"no MZ", 0, 0x5A4E, false},
      {"no PE signature", 0x80, 0x00004551, true},
      {"PE32+ magic", testing::kTestOptionalHeader, 0x20B, false},
      {"e_lfanew beyond the image", 0x3C, 0x7FFFFFF0, true},
      {"e_lfanew wrapping around 4 GB", 0x3C, 0xFFFFFFF0, true},
      {"optional header too short", 0x80 + 20, 40, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> image = MakeTestImage();
    if (c.dword) {
      PutDword(image, c.offset, c.value);
    } else {
      PutWord(image, c.offset, static_cast<uint16_t>(c.value));
    }
    const FakeAddressSpace space = SpaceWith(std::move(image));
    EXPECT_FALSE(ReadPeHeaders(space, kBase)) << c.what;
  }
  EXPECT_FALSE(ReadPeHeaders(SpaceWith({'M', 'Z'}), kBase)) << "truncated after MZ";
  EXPECT_FALSE(ReadPeHeaders(SpaceWith(MakeTestImage(), 0xFFFFFF00), 0xFFFFFF00))
      << "headers past the end of the address space";
}

TEST(PeImageTest, CapsDirectoryAndSectionCountsByTheHeader) {
  std::vector<uint8_t> image = MakeTestImage();
  PutDword(image, testing::kTestOptionalHeader + 92, 0xFFFFFFFF);  // NumberOfRvaAndSizes
  PutWord(image, 0x80 + 6, 0xFFFF);                                // NumberOfSections
  const FakeAddressSpace space = SpaceWith(std::move(image));
  const auto headers = ReadPeHeaders(space, kBase);
  ASSERT_TRUE(headers);
  EXPECT_EQ(headers->directories.size(), 16u);
  EXPECT_LE(headers->sections.size(), kMaxSections);
}

TEST(PeImageTest, DirectoriesAndRelativeToRaw) {
  const FakeAddressSpace space = SpaceWith(MakeTestImage());
  const auto image = PeImage::Open(space, kBase);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Directory(kExportDirectory).address, 0x2000u);
  EXPECT_EQ(image->Directory(kExportDirectory).size, 0x200u);
  EXPECT_EQ(image->DirectoryAddress(kExportDirectory), kBase + 0x2000);
  EXPECT_EQ(image->DirectoryAddress(1), 0u);   // present in the table but empty
  EXPECT_EQ(image->DirectoryAddress(16), 0u);  // beyond the table
  EXPECT_EQ(image->DirectoryAddress(-1), 0u);

  EXPECT_EQ(RelativeToRaw(image->headers(), 0x1000), 0x400u);
  EXPECT_EQ(RelativeToRaw(image->headers(), 0x1FFF), 0x13FFu);
  EXPECT_EQ(RelativeToRaw(image->headers(), 0x2044), 0x644u);
  EXPECT_EQ(RelativeToRaw(image->headers(), 0x3000), 0x3000u);  // no section: unchanged
  EXPECT_EQ(RelativeToRaw(image->headers(), 0x10), 0x10u);
}

TEST(PeImageTest, ExportByNameIsExactAndDetectsForwarders) {
  const FakeAddressSpace space = SpaceWith(MakeTestImage());
  const auto image = PeImage::Open(space, kBase);
  ASSERT_TRUE(image);
  const auto alpha = image->ExportByName("Alpha");
  ASSERT_TRUE(alpha);
  EXPECT_EQ(alpha->rva, 0x1010u);
  EXPECT_EQ(alpha->ordinal, 5u);
  EXPECT_EQ(alpha->slot_rva, 0x2040u);
  EXPECT_FALSE(alpha->is_forwarder);
  EXPECT_FALSE(image->ExportByName("alpha"));
  EXPECT_FALSE(image->ExportByName("Alph"));
  EXPECT_FALSE(image->ExportByName("Alphas"));
  EXPECT_FALSE(image->ExportByName(""));

  const auto beta = image->ExportByName("Beta");
  ASSERT_TRUE(beta);
  EXPECT_TRUE(beta->is_forwarder);
  EXPECT_EQ(beta->forwarder, "NTDLL.RtlBeta");
  EXPECT_EQ(beta->ordinal, 7u);
}

TEST(PeImageTest, ExportByOrdinal) {
  const FakeAddressSpace space = SpaceWith(MakeTestImage());
  const auto image = PeImage::Open(space, kBase);
  ASSERT_TRUE(image);
  const auto five = image->ExportByOrdinal(5);
  ASSERT_TRUE(five);
  EXPECT_EQ(five->name, "Alpha");
  const auto six = image->ExportByOrdinal(6);
  ASSERT_TRUE(six);
  EXPECT_EQ(six->rva, 0x1020u);
  EXPECT_EQ(six->name, "");
  EXPECT_FALSE(image->ExportByOrdinal(8));   // empty slot
  EXPECT_FALSE(image->ExportByOrdinal(4));   // below the base
  EXPECT_FALSE(image->ExportByOrdinal(10));  // beyond the table
  EXPECT_FALSE(image->ExportByOrdinal(0xFFFFFFFF));
}

TEST(PeImageTest, ExportNameAtAddress) {
  const FakeAddressSpace space = SpaceWith(MakeTestImage());
  const auto image = PeImage::Open(space, kBase);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->ExportNameAt(kBase + 0x1010), "Alpha");
  EXPECT_EQ(image->ExportsAt(kBase + 0x1010).size(), 2u);  // Alpha and Gamma
  EXPECT_EQ(image->ExportNameAt(kBase + 0x1020), "#6");
  EXPECT_EQ(image->ExportNameAt(kBase + 0x1011), "");
  EXPECT_EQ(image->ExportNameAt(kBase), "");
  EXPECT_EQ(image->ExportNameAt(0x100), "");
  EXPECT_EQ(image->AllExports().size(), 4u);
}

TEST(PeImageTest, MalformedExportTablesGiveNothingAndEndQuickly) {
  std::vector<uint8_t> image = MakeTestImage();
  PutDword(image, testing::kTestExportDirectory + 20, 0xFFFFFFFF);  // functions
  PutDword(image, testing::kTestExportDirectory + 24, 0xFFFFFFFF);  // names
  const FakeAddressSpace space = SpaceWith(std::move(image));
  const auto pe = PeImage::Open(space, kBase);
  ASSERT_TRUE(pe);
  const auto info = pe->Exports();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->function_count, kMaxExportEntries);
  EXPECT_FALSE(pe->ExportByName("Alpha"));  // the name table no longer fits the image
  EXPECT_EQ(pe->ExportNameAt(kBase + 0x1010), "");
  EXPECT_TRUE(pe->AllExports().empty());

  std::vector<uint8_t> bad_ordinal = MakeTestImage();
  PutWord(bad_ordinal, 0x2070, 0x4000);  // Alpha's name points past the address table
  const FakeAddressSpace space2 = SpaceWith(std::move(bad_ordinal));
  EXPECT_FALSE(PeImage::Open(space2, kBase)->ExportByName("Alpha"));
}

TEST(PeImageTest, ReadZeroTerminatedStopsAtUnreadableBytesAndAtTheLimit) {
  FakeAddressSpace space;
  std::vector<uint8_t> page(0x1000, 'a');
  page[0xFFE] = 'z';
  page[0xFFF] = 0;
  space.Map(0x5000, page);
  // A text that ends at the last byte of a page before unmapped memory.
  EXPECT_EQ(ReadZeroTerminated(space, 0x5FF0, 100), std::string(14, 'a') + "z");
  page[0xFFF] = 'b';
  space.Map(0x5000, page);
  EXPECT_FALSE(ReadZeroTerminated(space, 0x5FF0, 100));  // runs into unmapped memory
  EXPECT_FALSE(ReadZeroTerminated(space, 0x5000, 100));  // longer than the limit
  EXPECT_FALSE(ReadZeroTerminated(space, 0xFFFFFFF0, 100));
}

}  // namespace
}  // namespace trace
