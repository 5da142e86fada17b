// Fuzzes the PE image reader over arbitrary bytes mapped at a fixed base: every walk must
// stay inside the mapped bytes, end quickly and give consistent results.
//
// Input layout: the image bytes; its last 8 bytes, when present, also pick an ordinal and
// an address to look up.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "trace/pe/pe_image.h"

namespace {

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

constexpr uint32_t kBase = 0x00400000;

// The input bytes at kBase; reads outside them fail.
class BytesSpace : public trace::AddressSpace {
 public:
  BytesSpace(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    if (address < kBase) return false;
    const uint64_t offset = address - kBase;
    if (offset + count > size_) return false;
    if (count > 0) std::memcpy(buffer, data_ + offset, count);
    return true;
  }
  std::optional<trace::MemoryRegion> Region(uint32_t) const override { return std::nullopt; }
  std::optional<trace::ModuleInfo> ModuleOf(uint32_t) const override { return std::nullopt; }
  std::string ExportName(uint32_t) const override { return {}; }

 private:
  const uint8_t* data_;
  size_t size_;
};

uint32_t Tail(const uint8_t* data, size_t size, size_t from_end) {
  if (size < from_end) return 0;
  const uint8_t* p = data + size - from_end;
  return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const BytesSpace space(data, size);
  const auto image = trace::PeImage::Open(space, kBase);
  if (!image) return 0;
  const trace::PeHeaders& headers = image->headers();
  CHECK(headers.directories.size() <= 16);
  CHECK(headers.sections.size() <= trace::kMaxSections);
  for (int i = -1; i <= 16; ++i) {
    const trace::DataDirectory directory = image->Directory(i);
    CHECK(image->DirectoryAddress(i) == 0 || directory.address != 0);
  }
  trace::RelativeToRaw(headers, Tail(data, size, 4));

  const auto exports = image->AllExports();
  CHECK(exports.size() <= trace::kMaxExportEntries);
  // Every listed export is found again by its ordinal and, when named, by its name.
  size_t checked = 0;
  for (const trace::ExportEntry& entry : exports) {
    if (++checked > 64) break;
    const auto by_ordinal = image->ExportByOrdinal(entry.ordinal);
    CHECK(by_ordinal && by_ordinal->rva == entry.rva);
    if (!entry.name.empty()) {
      const auto by_name = image->ExportByName(entry.name);
      CHECK(by_name && by_name->name == entry.name);
    }
    if (!entry.is_forwarder) {
      CHECK(!image->ExportNameAt(kBase + entry.rva).empty() ||
            kBase + uint64_t{entry.rva} > 0xFFFFFFFFu || entry.rva == 0);
    }
  }
  image->ExportByOrdinal(Tail(data, size, 8));
  image->ExportNameAt(Tail(data, size, 4));
  return 0;
}
