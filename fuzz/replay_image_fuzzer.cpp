// Fuzzes what the replay does to a PE file before mapping it, with the input as the file:
// moving it by its relocations ends and changes nothing when refused; binding its imports ends and
// writes only what the resolver gives; the replayed space maps it (or refuses it) and answers
// reads, regions and modules within the image.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "trace/pe/pe_image.h"
#include "trace/stack/replay_address_space.h"
#include "trace/stack/replay_image_fixups.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

namespace {

// The file's bytes at address 0, to read its headers.
class FileSpace : public trace::AddressSpace {
 public:
  explicit FileSpace(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    if (uint64_t{address} + count > bytes_.size()) return false;
    if (count) std::memcpy(buffer, bytes_.data() + address, count);
    return true;
  }
  std::optional<trace::MemoryRegion> Region(uint32_t) const override { return std::nullopt; }
  std::optional<trace::ModuleInfo> ModuleOf(uint32_t) const override { return std::nullopt; }
  std::string ExportName(uint32_t) const override { return {}; }

 private:
  const std::vector<uint8_t>& bytes_;
};

// Images above this are left out: mapping them costs time, not paths.
constexpr uint32_t kMaxFuzzedImage = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);
  std::string error;
  const FileSpace raw(file);
  if (const auto headers = trace::ReadPeHeaders(raw, 0);
      headers && headers->image_size > kMaxFuzzedImage) {
    return 0;
  }

  std::vector<uint8_t> moved = file;
  if (trace::RebasePeFile(moved, 0x10000000, error)) {
    CHECK(moved.size() == file.size());
  } else {
    CHECK(moved == file);
  }

  (void)trace::ImportedDlls(file);
  std::vector<uint8_t> bound = file;
  int asked = 0;
  const int written = trace::BindImports(bound, [&](const trace::ImportReference& reference) {
    ++asked;
    CHECK(!reference.dll.empty());
    return asked % 2 ? std::optional<uint32_t>(0x7B000000u + asked) : std::nullopt;
  });
  CHECK(written >= 0 && written <= asked);
  CHECK(bound.size() == file.size());

  trace::ReplayAddressSpace space;
  if (!space.AddModuleBytes(file, "C:\\app\\input.dll", std::nullopt, error)) {
    CHECK(!error.empty());
    return 0;
  }
  const uint32_t base = space.ModuleBases().back();
  const auto region = space.Region(base);
  CHECK(region && region->allocation_base == base);
  uint8_t bytes[16];
  CHECK(space.Read(base, bytes, sizeof bytes) == (region->size >= sizeof bytes));
  CHECK(space.ModuleOf(base));
  CHECK(!space.Region(base - 1) || base == 0);
  (void)space.SymbolData(base);
  return 0;
}
