#include "trace/pe/pe_image.h"

#include <algorithm>
#include <utility>

namespace trace {
namespace {

constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint32_t kLfanewOffset = 0x3C;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kDirectoriesOffset = 96;  // in the PE32 optional header
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kPageSize = 0x1000;
constexpr uint32_t kStringChunk = 64;

uint16_t Word(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Dword(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// base + offset, none when the sum leaves the 32-bit address space.
std::optional<uint32_t> Add(uint32_t base, uint64_t offset) {
  const uint64_t sum = base + offset;
  if (sum > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<uint32_t>(sum);
}

// Reads count bytes at base + offset.
bool ReadAt(const AddressSpace& space, uint32_t base, uint64_t offset, void* buffer,
            uint32_t count) {
  const auto address = Add(base, offset);
  if (!address || !Add(*address, count)) return false;
  return space.Read(*address, buffer, count);
}

}  // namespace

std::optional<std::string> ReadZeroTerminated(const AddressSpace& space, uint32_t address,
                                              uint32_t max_length) {
  std::string text;
  uint8_t chunk[kStringChunk];
  // Reads never cross a page boundary, so a text that ends just before an unreadable page
  // is still found.
  while (text.size() <= max_length) {
    const uint32_t to_page_end = kPageSize - (address & (kPageSize - 1));
    const uint32_t count = std::min(kStringChunk, to_page_end);
    if (!Add(address, count) || !space.Read(address, chunk, count)) return std::nullopt;
    const uint8_t* end = std::find(chunk, chunk + count, 0);
    text.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(end - chunk));
    if (end != chunk + count) {
      if (text.size() > max_length) return std::nullopt;
      return text;
    }
    address += count;
  }
  return std::nullopt;
}

std::optional<PeHeaders> ReadPeHeaders(const AddressSpace& space, uint32_t module_base) {
  uint8_t dos[2];
  if (!ReadAt(space, module_base, 0, dos, 2) || Word(dos) != kDosSignature) return std::nullopt;
  uint8_t lfanew[4];
  if (!ReadAt(space, module_base, kLfanewOffset, lfanew, 4)) return std::nullopt;

  PeHeaders headers;
  headers.module_base = module_base;
  headers.pe_offset = Dword(lfanew);
  const uint64_t pe = headers.pe_offset;

  uint8_t file[4 + kFileHeaderSize];
  if (!ReadAt(space, module_base, pe, file, sizeof(file))) return std::nullopt;
  if (Dword(file) != kPeSignature) return std::nullopt;
  headers.machine = Word(file + 4);
  const uint32_t section_count = Word(file + 6);
  headers.time_date_stamp = Dword(file + 8);
  const uint32_t optional_size = Word(file + 20);
  headers.characteristics = Word(file + 22);

  const uint64_t optional = pe + 4 + kFileHeaderSize;
  if (optional_size < kDirectoriesOffset) return std::nullopt;
  uint8_t opt[kDirectoriesOffset];
  if (!ReadAt(space, module_base, optional, opt, sizeof(opt))) return std::nullopt;
  if (Word(opt) != kPe32Magic) return std::nullopt;
  headers.code_size = Dword(opt + 4);
  headers.initialized_data_size = Dword(opt + 8);
  headers.uninitialized_data_size = Dword(opt + 12);
  headers.entry_point = Dword(opt + 16);
  headers.code_base = Dword(opt + 20);
  headers.data_base = Dword(opt + 24);
  headers.image_base = Dword(opt + 28);
  headers.image_size = Dword(opt + 56);
  headers.headers_size = Dword(opt + 60);
  headers.subsystem = Word(opt + 68);

  // The directory count is bounded by the header's own size and by the table's 16 slots.
  const uint32_t directory_count =
      std::min({Dword(opt + 92), (optional_size - kDirectoriesOffset) / 8, kMaxDirectories});
  if (directory_count > 0) {
    uint8_t table[kMaxDirectories * 8];
    if (!ReadAt(space, module_base, optional + kDirectoriesOffset, table, directory_count * 8))
      return std::nullopt;
    for (uint32_t i = 0; i < directory_count; ++i) {
      headers.directories.push_back({Dword(table + i * 8), Dword(table + i * 8 + 4)});
    }
  }

  const uint64_t section_table = optional + optional_size;
  const uint32_t sections = std::min(section_count, kMaxSections);
  for (uint32_t i = 0; i < sections; ++i) {
    uint8_t raw[kSectionHeaderSize];
    // An unreadable section table leaves the sections that were read.
    if (!ReadAt(space, module_base, section_table + uint64_t{i} * kSectionHeaderSize, raw,
                kSectionHeaderSize))
      break;
    SectionHeader section;
    const uint8_t* name_end = std::find(raw, raw + 8, 0);
    section.name.assign(reinterpret_cast<const char*>(raw),
                        static_cast<std::size_t>(name_end - raw));
    section.virtual_size = Dword(raw + 8);
    section.virtual_address = Dword(raw + 12);
    section.raw_size = Dword(raw + 16);
    section.raw_offset = Dword(raw + 20);
    section.characteristics = Dword(raw + 36);
    headers.sections.push_back(std::move(section));
  }
  return headers;
}

uint32_t RelativeToRaw(const PeHeaders& headers, uint32_t rva) {
  for (const SectionHeader& section : headers.sections) {
    const uint64_t span = section.virtual_size != 0 ? section.virtual_size : section.raw_size;
    if (rva >= section.virtual_address && rva - uint64_t{section.virtual_address} < span) {
      return rva - section.virtual_address + section.raw_offset;
    }
  }
  return rva;
}

std::optional<PeImage> PeImage::Open(const AddressSpace& space, uint32_t module_base) {
  auto headers = ReadPeHeaders(space, module_base);
  if (!headers) return std::nullopt;
  return PeImage(space, std::move(*headers));
}

DataDirectory PeImage::Directory(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= headers_.directories.size()) return {};
  const DataDirectory& directory = headers_.directories[static_cast<std::size_t>(index)];
  if (directory.address == 0) return {};
  return directory;
}

uint32_t PeImage::DirectoryAddress(int index) const {
  const DataDirectory directory = Directory(index);
  if (directory.address == 0) return 0;
  return Absolute(directory.address).value_or(0);
}

std::optional<uint32_t> PeImage::Absolute(uint32_t rva) const {
  return Add(headers_.module_base, rva);
}

bool PeImage::ReadTable(uint32_t rva, uint32_t count, uint32_t word_size,
                        std::vector<uint32_t>& values) const {
  values.clear();
  if (count == 0) return true;
  std::vector<uint8_t> bytes(std::size_t{count} * word_size);
  if (!ReadAt(*space_, headers_.module_base, rva, bytes.data(),
              static_cast<uint32_t>(bytes.size())))
    return false;
  values.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = bytes.data() + std::size_t{i} * word_size;
    values[i] = word_size == 2 ? Word(p) : Dword(p);
  }
  return true;
}

std::optional<ExportDirectoryInfo> PeImage::Exports() const {
  const DataDirectory directory = Directory(kExportDirectory);
  if (directory.address == 0) return std::nullopt;
  uint8_t raw[kExportDirectorySize];
  if (!ReadAt(*space_, headers_.module_base, directory.address, raw, sizeof(raw)))
    return std::nullopt;
  ExportDirectoryInfo info;
  info.module_name_rva = Dword(raw + 12);
  info.ordinal_base = Dword(raw + 16);
  info.function_count = std::min(Dword(raw + 20), kMaxExportEntries);
  info.name_count = std::min(Dword(raw + 24), kMaxExportEntries);
  info.functions_rva = Dword(raw + 28);
  info.names_rva = Dword(raw + 32);
  info.name_ordinals_rva = Dword(raw + 36);
  return info;
}

std::optional<std::string> PeImage::ForwarderAt(uint32_t rva) const {
  const DataDirectory directory = Directory(kExportDirectory);
  if (directory.address == 0 || rva < directory.address ||
      rva - uint64_t{directory.address} >= directory.size)
    return std::nullopt;
  const auto address = Absolute(rva);
  if (!address) return std::nullopt;
  return ReadZeroTerminated(*space_, *address, kMaxExportNameLength).value_or("");
}

ExportEntry PeImage::MakeEntry(const ExportDirectoryInfo& info, uint32_t index,
                               uint32_t rva) const {
  ExportEntry entry;
  entry.ordinal = info.ordinal_base + index;
  entry.rva = rva;
  entry.slot_rva = info.functions_rva + index * 4;
  if (auto forwarder = ForwarderAt(rva)) {
    entry.is_forwarder = true;
    entry.forwarder = std::move(*forwarder);
  }
  return entry;
}

std::optional<ExportEntry> PeImage::ExportByName(std::string_view name) const {
  const auto info = Exports();
  if (!info || name.empty() || name.size() > kMaxExportNameLength ||
      name.find('\0') != std::string_view::npos)
    return std::nullopt;
  std::vector<uint32_t> names;
  if (!ReadTable(info->names_rva, info->name_count, 4, names)) return std::nullopt;
  // Each candidate is compared with one read of the name and its terminating zero.
  std::string candidate(name.size() + 1, '\0');
  for (uint32_t i = 0; i < names.size(); ++i) {
    if (!ReadAt(*space_, headers_.module_base, names[i], candidate.data(),
                static_cast<uint32_t>(candidate.size())))
      continue;
    if (candidate.back() != '\0' || std::string_view(candidate).substr(0, name.size()) != name)
      continue;
    uint8_t ordinal[2];
    if (!ReadAt(*space_, headers_.module_base, info->name_ordinals_rva + uint64_t{i} * 2, ordinal,
                2))
      return std::nullopt;
    const uint32_t index = Word(ordinal);
    if (index >= info->function_count) continue;
    uint8_t slot[4];
    if (!ReadAt(*space_, headers_.module_base, info->functions_rva + uint64_t{index} * 4, slot, 4))
      return std::nullopt;
    ExportEntry entry = MakeEntry(*info, index, Dword(slot));
    entry.name = std::string(name);
    return entry;
  }
  return std::nullopt;
}

std::vector<std::string> PeImage::NamesByIndex(const ExportDirectoryInfo& info) const {
  std::vector<std::string> result(info.function_count);
  std::vector<uint32_t> names, ordinals;
  if (!ReadTable(info.names_rva, info.name_count, 4, names) ||
      !ReadTable(info.name_ordinals_rva, info.name_count, 2, ordinals))
    return result;
  for (uint32_t i = 0; i < names.size(); ++i) {
    const uint32_t index = ordinals[i];
    if (index >= result.size() || !result[index].empty()) continue;
    const auto address = Absolute(names[i]);
    if (!address) continue;
    if (auto name = ReadZeroTerminated(*space_, *address, kMaxExportNameLength)) {
      result[index] = std::move(*name);
    }
  }
  return result;
}

std::optional<ExportEntry> PeImage::ExportByOrdinal(uint32_t ordinal) const {
  const auto info = Exports();
  if (!info) return std::nullopt;
  // Ordinals are counted modulo 2^32 from the base, as MakeEntry forms them.
  const uint32_t index = ordinal - info->ordinal_base;
  if (index >= info->function_count) return std::nullopt;
  uint8_t slot[4];
  if (!ReadAt(*space_, headers_.module_base, info->functions_rva + uint64_t{index} * 4, slot, 4))
    return std::nullopt;
  if (Dword(slot) == 0) return std::nullopt;
  ExportEntry entry = MakeEntry(*info, index, Dword(slot));
  // The name, when it has one, comes from the name tables.
  std::vector<uint32_t> ordinals;
  if (ReadTable(info->name_ordinals_rva, info->name_count, 2, ordinals)) {
    for (uint32_t i = 0; i < ordinals.size(); ++i) {
      if (ordinals[i] != index) continue;
      uint8_t name_rva[4];
      if (!ReadAt(*space_, headers_.module_base, info->names_rva + uint64_t{i} * 4, name_rva, 4))
        break;
      if (const auto address = Absolute(Dword(name_rva))) {
        entry.name = ReadZeroTerminated(*space_, *address, kMaxExportNameLength).value_or("");
      }
      break;
    }
  }
  return entry;
}

std::vector<ExportEntry> PeImage::AllExports() const {
  std::vector<ExportEntry> result;
  const auto info = Exports();
  if (!info) return result;
  std::vector<uint32_t> functions;
  if (!ReadTable(info->functions_rva, info->function_count, 4, functions)) return result;
  std::vector<std::string> names = NamesByIndex(*info);
  for (uint32_t index = 0; index < functions.size(); ++index) {
    if (functions[index] == 0) continue;
    ExportEntry entry = MakeEntry(*info, index, functions[index]);
    entry.name = std::move(names[index]);
    result.push_back(std::move(entry));
  }
  return result;
}

std::vector<ExportEntry> PeImage::ExportsAt(uint32_t address) const {
  std::vector<ExportEntry> result;
  const auto info = Exports();
  if (!info || address < headers_.module_base) return result;
  const uint32_t rva = address - headers_.module_base;
  if (rva == 0) return result;
  std::vector<uint32_t> functions;
  if (!ReadTable(info->functions_rva, info->function_count, 4, functions)) return result;
  std::vector<std::string> names;
  for (uint32_t index = 0; index < functions.size(); ++index) {
    if (functions[index] != rva) continue;
    if (names.empty()) names = NamesByIndex(*info);
    ExportEntry entry = MakeEntry(*info, index, rva);
    entry.name = names[index];
    result.push_back(std::move(entry));
  }
  return result;
}

std::string PeImage::ExportNameAt(uint32_t address) const {
  const std::vector<ExportEntry> entries = ExportsAt(address);
  for (const ExportEntry& entry : entries) {
    if (entry.is_forwarder) continue;
    if (!entry.name.empty()) return entry.name;
  }
  for (const ExportEntry& entry : entries) {
    if (!entry.is_forwarder) {
      // Appended, not "#" + text: gcc 12 warns falsely of overlapping copies (-Wrestrict)
      // in that operator at -O3.
      std::string text(1, '#');
      text += std::to_string(entry.ordinal);
      return text;
    }
  }
  return {};
}

}  // namespace trace
