// An address space of byte blocks placed at fixed addresses, and a small PE32 image builder,
// for tests of the image reader.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "trace/pe/address_space.h"

namespace trace::testing {

// Blocks of bytes at addresses; a read succeeds only inside one block.
class FakeAddressSpace : public AddressSpace {
 public:
  // Places bytes at base.
  void Map(uint32_t base, std::vector<uint8_t> bytes) { blocks_[base] = std::move(bytes); }

  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    auto it = blocks_.upper_bound(address);
    if (it == blocks_.begin()) return false;
    --it;
    const uint64_t offset = address - it->first;
    if (offset + count > it->second.size()) return false;
    if (count > 0) std::memcpy(buffer, it->second.data() + offset, count);
    return true;
  }
  std::optional<MemoryRegion> Region(uint32_t) const override { return std::nullopt; }
  std::optional<ModuleInfo> ModuleOf(uint32_t) const override { return std::nullopt; }
  std::string ExportName(uint32_t) const override { return {}; }

 private:
  std::map<uint32_t, std::vector<uint8_t>> blocks_;
};

// Little-endian writers into a byte vector that grows as needed.
inline void PutBytes(std::vector<uint8_t>& image, uint32_t offset, std::string_view bytes) {
  if (image.size() < offset + bytes.size()) image.resize(offset + bytes.size());
  std::memcpy(image.data() + offset, bytes.data(), bytes.size());
}
inline void PutWord(std::vector<uint8_t>& image, uint32_t offset, uint16_t value) {
  const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
  PutBytes(image, offset, std::string_view(bytes, 2));
}
inline void PutDword(std::vector<uint8_t>& image, uint32_t offset, uint32_t value) {
  PutWord(image, offset, static_cast<uint16_t>(value));
  PutWord(image, offset + 2, static_cast<uint16_t>(value >> 16));
}

// Layout of the image MakeTestImage builds.
inline constexpr uint32_t kTestPeOffset = 0x80;
inline constexpr uint32_t kTestOptionalHeader = kTestPeOffset + 24;
inline constexpr uint32_t kTestExportDirectory = 0x2000;
inline constexpr uint32_t kTestImageSize = 0x3000;

// A PE32 DLL image as the loader maps it: .text at 0x1000, .edata at 0x2000 (file offsets
// 0x400 and 0x600) with five exports, ordinal base 5:
//   5 "Alpha" at 0x1010, 6 unnamed at 0x1020, 7 "Beta" forwarded to "NTDLL.RtlBeta",
//   8 empty slot, 9 "Gamma" at 0x1010 again.
inline std::vector<uint8_t> MakeTestImage() {
  std::vector<uint8_t> image(kTestImageSize);
  PutBytes(image, 0, "MZ");
  PutDword(image, 0x3C, kTestPeOffset);
  PutBytes(image, kTestPeOffset, std::string_view("PE\0\0", 4));
  PutWord(image, kTestPeOffset + 4, 0x14C);
  PutWord(image, kTestPeOffset + 6, 2);
  PutDword(image, kTestPeOffset + 8, 0x5F5E1000);
  PutWord(image, kTestPeOffset + 20, 0xE0);
  PutWord(image, kTestPeOffset + 22, 0x2102);
  const uint32_t opt = kTestOptionalHeader;
  PutWord(image, opt, 0x10B);
  PutDword(image, opt + 4, 0x200);
  PutDword(image, opt + 16, 0x1000);
  PutDword(image, opt + 20, 0x1000);
  PutDword(image, opt + 24, 0x2000);
  PutDword(image, opt + 28, 0x10000000);
  PutDword(image, opt + 56, kTestImageSize);
  PutDword(image, opt + 60, 0x400);
  PutWord(image, opt + 68, 2);
  PutDword(image, opt + 92, 16);
  PutDword(image, opt + 96, kTestExportDirectory);
  PutDword(image, opt + 100, 0x200);
  const uint32_t sections = opt + 0xE0;
  PutBytes(image, sections, ".text");
  PutDword(image, sections + 8, 0x1000);
  PutDword(image, sections + 12, 0x1000);
  PutDword(image, sections + 16, 0x200);
  PutDword(image, sections + 20, 0x400);
  PutDword(image, sections + 36, 0x60000020);
  PutBytes(image, sections + 40, ".edata");
  PutDword(image, sections + 48, 0x1000);
  PutDword(image, sections + 52, 0x2000);
  PutDword(image, sections + 56, 0x400);
  PutDword(image, sections + 60, 0x600);
  PutDword(image, sections + 76, 0x40000040);

  const uint32_t exports = kTestExportDirectory;
  PutDword(image, exports + 12, 0x2180);  // module name
  PutDword(image, exports + 16, 5);
  PutDword(image, exports + 20, 5);
  PutDword(image, exports + 24, 3);
  PutDword(image, exports + 28, 0x2040);
  PutDword(image, exports + 32, 0x2060);
  PutDword(image, exports + 36, 0x2070);
  const uint32_t functions[] = {0x1010, 0x1020, 0x2100, 0, 0x1010};
  for (uint32_t i = 0; i < 5; ++i)
    PutDword(image, 0x2040 + i * 4, functions[i]);
  const uint32_t names[] = {0x2080, 0x2090, 0x20A0};
  const uint16_t ordinals[] = {0, 2, 4};
  for (uint32_t i = 0; i < 3; ++i) {
    PutDword(image, 0x2060 + i * 4, names[i]);
    PutWord(image, 0x2070 + i * 2, ordinals[i]);
  }
  PutBytes(image, 0x2080, std::string_view("Alpha\0", 6));
  PutBytes(image, 0x2090, std::string_view("Beta\0", 5));
  PutBytes(image, 0x20A0, std::string_view("Gamma\0", 6));
  PutBytes(image, 0x2100, std::string_view("NTDLL.RtlBeta\0", 14));
  PutBytes(image, 0x2180, std::string_view("test.dll\0", 9));
  return image;
}

}  // namespace trace::testing
