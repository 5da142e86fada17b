#include "trace/pe/pe_resource.h"

#include "trace/pe/pe_image.h"
#include "trace/text/ansi_text.h"

namespace trace {
namespace {

constexpr int kResourceDirectory = 2;
constexpr uint32_t kHighBit = 0x80000000u;
// Longest entry name that is compared, in characters.
constexpr uint32_t kMaxNameLength = 256;

std::optional<uint16_t> ReadWord(const AddressSpace& space, uint32_t address) {
  uint8_t bytes[2];
  if (!space.Read(address, bytes, 2)) return std::nullopt;
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// True when the counted UTF-16 name at address equals key, ignoring case.
bool NameEquals(const AddressSpace& space, uint32_t address, std::string_view key) {
  const std::optional<uint16_t> length = ReadWord(space, address);
  if (!length || *length != key.size() || *length > kMaxNameLength) return false;
  std::string name;
  for (uint32_t i = 0; i < *length; ++i) {
    const std::optional<uint16_t> unit = ReadWord(space, address + 2 + i * 2);
    if (!unit || *unit > 0xFF) return false;
    name += static_cast<char>(*unit);
  }
  return TextEquals(name, key);
}

// The OffsetToData of the named entry key in the directory at address (any entry when key
// is empty); none when absent.
std::optional<uint32_t> FindEntry(const AddressSpace& space, uint32_t root, uint32_t directory,
                                  std::string_view key) {
  const std::optional<uint16_t> named = ReadWord(space, directory + 12);
  const std::optional<uint16_t> ids = ReadWord(space, directory + 14);
  if (!named || !ids) return std::nullopt;
  const uint32_t count = key.empty() ? uint32_t{*named} + *ids : *named;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t entry = directory + 16 + i * 8;
    const std::optional<uint32_t> id = space.ReadDword(entry);
    const std::optional<uint32_t> data = space.ReadDword(entry + 4);
    if (!id || !data) return std::nullopt;
    if (key.empty()) return data;
    if ((*id & kHighBit) != 0 && NameEquals(space, root + (*id & ~kHighBit), key)) return data;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindResourceData(const AddressSpace& space, uint32_t module,
                                            std::string_view type, std::string_view name) {
  const std::optional<PeHeaders> headers = ReadPeHeaders(space, module);
  if (!headers || headers->directories.size() <= kResourceDirectory) return std::nullopt;
  const uint32_t rva = headers->directories[kResourceDirectory].address;
  if (rva == 0) return std::nullopt;
  const uint32_t root = module + rva;

  uint32_t directory = root;
  for (std::string_view key : {type, name, std::string_view()}) {
    const std::optional<uint32_t> data = FindEntry(space, root, directory, key);
    if (!data) return std::nullopt;
    if (key.empty()) {
      if ((*data & kHighBit) != 0) return std::nullopt;
      const std::optional<uint32_t> data_rva = space.ReadDword(root + *data);
      const std::optional<uint32_t> size = space.ReadDword(root + *data + 4);
      if (!data_rva || !size || *size > kMaxResourceSize) return std::nullopt;
      std::string bytes(*size, '\0');
      if (*size > 0 && !space.Read(module + *data_rva, bytes.data(), *size)) return std::nullopt;
      return bytes;
    }
    if ((*data & kHighBit) == 0) return std::nullopt;
    directory = root + (*data & ~kHighBit);
  }
  return std::nullopt;
}

}  // namespace trace
