#include "trace/stack/replay_image_fixups.h"

#include <cstdio>
#include <cstring>

#include "trace/pe/address_space.h"
#include "trace/pe/file_bytes_space.h"
#include "trace/pe/pe_image.h"

namespace trace {
namespace {

constexpr int kImportDirectory = 1;
constexpr int kRelocationDirectory = 5;
constexpr uint16_t kRelocationsStripped = 0x0001;   // IMAGE_FILE_RELOCS_STRIPPED
constexpr uint32_t kImageBaseOffset = 4 + 20 + 28;  // from "PE\0\0" to ImageBase
constexpr uint16_t kAbsolute = 0;                   // IMAGE_REL_BASED_ABSOLUTE: padding
constexpr uint16_t kHighLow = 3;                    // IMAGE_REL_BASED_HIGHLOW

bool ReadDwordAt(const std::vector<uint8_t>& file, uint64_t offset, uint32_t& value) {
  if (offset + 4 > file.size()) return false;
  value = static_cast<uint32_t>(file[offset]) | static_cast<uint32_t>(file[offset + 1]) << 8 |
          static_cast<uint32_t>(file[offset + 2]) << 16 |
          static_cast<uint32_t>(file[offset + 3]) << 24;
  return true;
}

bool WriteDwordAt(std::vector<uint8_t>& file, uint64_t offset, uint32_t value) {
  if (offset + 4 > file.size()) return false;
  for (int i = 0; i < 4; ++i)
    file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  return true;
}

std::string Hex(uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

// The file offset of a relative address by the section table.
std::optional<uint64_t> SectionOffset(const PeHeaders& headers, uint32_t rva, uint32_t count) {
  for (const SectionHeader& section : headers.sections) {
    const uint64_t begin = section.virtual_address;
    uint64_t raw = section.raw_size;
    if (section.virtual_size != 0 && section.virtual_size < raw) raw = section.virtual_size;
    if (rva >= begin && uint64_t{rva} + count <= begin + raw) {
      return uint64_t{section.raw_offset} + (rva - begin);
    }
  }
  if (uint64_t{rva} + count <= headers.headers_size) return rva;
  return std::nullopt;
}

// The file offset of count bytes at a relative address inside a section's raw data (or the
// headers); none when they are not all there or not all in the file (bytes past the raw data
// are zeros made by the loader, not the file's).
std::optional<uint64_t> RawOffset(const std::vector<uint8_t>& file, const PeHeaders& headers,
                                  uint32_t rva, uint32_t count) {
  const std::optional<uint64_t> offset = SectionOffset(headers, rva, count);
  if (!offset || *offset + count > file.size()) return std::nullopt;
  return offset;
}

struct ImportDescriptor {
  uint32_t lookup_rva = 0;   // OriginalFirstThunk
  uint32_t name_rva = 0;     // the DLL's name
  uint32_t address_rva = 0;  // FirstThunk: the import address table
};

std::vector<ImportDescriptor> ImportDescriptors(const std::vector<uint8_t>& file,
                                                const PeHeaders& headers) {
  std::vector<ImportDescriptor> descriptors;
  if (headers.directories.size() <= kImportDirectory) return descriptors;
  const uint32_t directory = headers.directories[kImportDirectory].address;
  if (directory == 0) return descriptors;
  for (uint32_t i = 0; i < kMaxImportDescriptors; ++i) {
    const auto at = RawOffset(file, headers, directory + i * 20, 20);
    if (!at) break;
    ImportDescriptor descriptor;
    uint32_t unused = 0;
    if (!ReadDwordAt(file, *at, descriptor.lookup_rva) || !ReadDwordAt(file, *at + 4, unused) ||
        !ReadDwordAt(file, *at + 12, descriptor.name_rva) ||
        !ReadDwordAt(file, *at + 16, descriptor.address_rva)) {
      break;
    }
    if (descriptor.name_rva == 0 && descriptor.address_rva == 0) break;
    descriptors.push_back(descriptor);
  }
  return descriptors;
}

std::string TextAt(const std::vector<uint8_t>& file, const PeHeaders& headers, uint32_t rva) {
  const auto at = RawOffset(file, headers, rva, 1);
  if (!at) return {};
  const FileBytesSpace space(file);
  return ReadZeroTerminated(space, static_cast<uint32_t>(*at), 512).value_or("");
}

}  // namespace

bool RebasePeFile(std::vector<uint8_t>& file, uint32_t new_base, std::string& error) {
  const FileBytesSpace space(file);
  const std::optional<PeHeaders> headers = ReadPeHeaders(space, 0);
  if (!headers) {
    error = "not a PE32 image";
    return false;
  }
  if (new_base == headers->image_base) return true;
  if ((new_base & 0xFFFF) != 0) {
    error = "base " + Hex(new_base) + " is not a multiple of 64 KB";
    return false;
  }
  if (uint64_t{new_base} + headers->image_size > 0x100000000ull) {
    error = "the image does not fit below 4 GB at " + Hex(new_base);
    return false;
  }
  const DataDirectory relocations = headers->directories.size() > kRelocationDirectory
                                        ? headers->directories[kRelocationDirectory]
                                        : DataDirectory{};
  if ((headers->characteristics & kRelocationsStripped) != 0 || relocations.address == 0 ||
      relocations.size == 0) {
    error = "the file has no relocations: it can only lie at its image base " +
            Hex(headers->image_base);
    return false;
  }
  if (relocations.size > kMaxRelocationBytes) {
    error = "relocation directory too large";
    return false;
  }
  const auto directory = RawOffset(file, *headers, relocations.address, relocations.size);
  if (!directory) {
    error = "relocation directory outside the file's sections";
    return false;
  }
  // Collected first, applied only when every block is sound.
  std::vector<uint64_t> offsets;
  const uint32_t delta = new_base - headers->image_base;
  for (uint32_t position = 0; position + 8 <= relocations.size;) {
    uint32_t page = 0;
    uint32_t block_size = 0;
    ReadDwordAt(file, *directory + position, page);
    ReadDwordAt(file, *directory + position + 4, block_size);
    if (block_size == 0 && page == 0) break;  // padding at the end
    if (block_size < 8 || block_size % 2 != 0 || block_size > relocations.size - position) {
      error = "relocation block at " + Hex(relocations.address + position) + " is malformed";
      return false;
    }
    for (uint32_t entry = 8; entry + 2 <= block_size; entry += 2) {
      const uint64_t at = *directory + position + entry;
      const uint16_t value = static_cast<uint16_t>(file[at] | file[at + 1] << 8);
      const uint16_t type = value >> 12;
      if (type == kAbsolute) continue;
      if (type != kHighLow) {
        error = "relocation of type " + std::to_string(type) + " at " +
                Hex(page + (value & 0xFFF)) + " is not supported";
        return false;
      }
      const auto target = RawOffset(file, *headers, page + (value & 0xFFF), 4);
      if (!target) continue;  // in zero-filled memory: nothing of the file to move
      offsets.push_back(*target);
    }
    position += block_size;
  }
  for (const uint64_t offset : offsets) {
    uint32_t value = 0;
    ReadDwordAt(file, offset, value);
    WriteDwordAt(file, offset, value + delta);
  }
  WriteDwordAt(file, uint64_t{headers->pe_offset} + kImageBaseOffset, new_base);
  return true;
}

std::vector<std::string> ImportedDlls(const std::vector<uint8_t>& file) {
  std::vector<std::string> names;
  const FileBytesSpace space(file);
  const std::optional<PeHeaders> headers = ReadPeHeaders(space, 0);
  if (!headers) return names;
  for (const ImportDescriptor& descriptor : ImportDescriptors(file, *headers)) {
    names.push_back(TextAt(file, *headers, descriptor.name_rva));
  }
  return names;
}

int BindImports(std::vector<uint8_t>& file, const ImportResolver& resolve) {
  const FileBytesSpace space(file);
  const std::optional<PeHeaders> headers = ReadPeHeaders(space, 0);
  if (!headers) return 0;
  int bound = 0;
  for (const ImportDescriptor& descriptor : ImportDescriptors(file, *headers)) {
    const std::string dll = TextAt(file, *headers, descriptor.name_rva);
    if (dll.empty()) continue;
    const uint32_t lookup =
        descriptor.lookup_rva != 0 ? descriptor.lookup_rva : descriptor.address_rva;
    for (uint32_t i = 0; i < kMaxImportSlots; ++i) {
      const auto entry_at = RawOffset(file, *headers, lookup + i * 4, 4);
      const auto slot_at = RawOffset(file, *headers, descriptor.address_rva + i * 4, 4);
      uint32_t entry = 0;
      if (!entry_at || !slot_at || !ReadDwordAt(file, *entry_at, entry) || entry == 0) break;
      std::string name;
      ImportReference reference{dll, {}, 0};
      if ((entry & 0x80000000u) != 0) {
        reference.ordinal = entry & 0xFFFF;
      } else {
        name = TextAt(file, *headers, entry + 2);
        if (name.empty()) continue;
        reference.name = name;
      }
      const std::optional<uint32_t> address = resolve(reference);
      if (address && WriteDwordAt(file, *slot_at, *address)) ++bound;
    }
  }
  return bound;
}

}  // namespace trace
