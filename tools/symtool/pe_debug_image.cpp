#include "tools/symtool/pe_debug_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "tools/symtool/byte_cursor.h"
#include "trace/pe/address_space.h"
#include "trace/pe/pe_image.h"

namespace symtool {
namespace {

constexpr uint32_t kCodeSection = 0x00000020;  // IMAGE_SCN_CNT_CODE
constexpr size_t kCoffSymbolSize = 18;

// The file's bytes as an address space at address 0, for the shared header reader.
class RawFile : public trace::AddressSpace {
 public:
  explicit RawFile(std::string_view bytes) : bytes_(bytes) {}
  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    if (uint64_t{address} + count > bytes_.size()) return false;
    if (count) std::memcpy(buffer, bytes_.data() + address, count);
    return true;
  }
  std::optional<trace::MemoryRegion> Region(uint32_t) const override { return std::nullopt; }
  std::optional<trace::ModuleInfo> ModuleOf(uint32_t) const override { return std::nullopt; }
  std::string ExportName(uint32_t) const override { return {}; }

 private:
  std::string_view bytes_;
};

// The full name of a section whose stored name is "/N": the zero-terminated text at offset N
// of the string table; the stored name itself when it is not of that form or N is out of range.
std::string ResolveName(const std::string& stored, std::string_view string_table) {
  if (stored.size() < 2 || stored[0] != '/') return stored;
  uint64_t offset = 0;
  for (size_t i = 1; i < stored.size(); ++i) {
    if (stored[i] < '0' || stored[i] > '9') return stored;
    offset = offset * 10 + static_cast<uint64_t>(stored[i] - '0');
  }
  // The table starts with its own 4-byte size, so no name lies before offset 4.
  if (offset < 4 || offset >= string_table.size()) return stored;
  ByteCursor cursor(string_table, static_cast<size_t>(offset));
  const std::string_view name = cursor.CString();
  return cursor.ok() ? std::string(name) : stored;
}

constexpr uint8_t kClassExternal = 2;
constexpr uint8_t kClassStatic = 3;
constexpr uint8_t kClassFile = 103;
constexpr uint16_t kFunctionType = 0x20;  // derived type "function" of an undefined base

// The function symbols of the symbol table of count records at offset.
std::vector<CoffFunction> ReadCoffFunctions(std::string_view bytes, uint32_t offset, uint32_t count,
                                            std::string_view string_table,
                                            const std::vector<PeSection>& sections,
                                            uint32_t image_base) {
  std::vector<CoffFunction> functions;
  if (offset == 0 || offset > bytes.size()) return functions;
  count =
      static_cast<uint32_t>(std::min<uint64_t>(count, (bytes.size() - offset) / kCoffSymbolSize));
  std::string file;
  for (uint32_t i = 0; i < count; ++i) {
    ByteCursor record(bytes, offset + size_t{i} * kCoffSymbolSize);
    const std::string_view short_name = record.Span(8);
    const uint32_t value = record.U32();
    const int16_t section = static_cast<int16_t>(record.U16());
    const uint16_t type = record.U16();
    const uint8_t storage = record.U8();
    const uint8_t aux = record.U8();
    if (!record.ok()) break;
    const uint32_t aux_count = std::min<uint32_t>(aux, count - i - 1);
    if (storage == kClassFile) {
      // The file name fills the auxiliary records, zero-padded.
      const std::string_view name =
          bytes.substr(record.position(), size_t{aux_count} * kCoffSymbolSize);
      file.assign(name.substr(0, name.find('\0')));
      // The assembler writes "fake" for objects that name no source file.
      if (file == "fake") file.clear();
    } else if (section > 0 && static_cast<size_t>(section) <= sections.size() &&
               (storage == kClassExternal ||
                (storage == kClassStatic && (type & 0x30) == kFunctionType))) {
      const PeSection& where = sections[static_cast<size_t>(section) - 1];
      std::string name;
      if (short_name.substr(0, 4) == std::string_view("\0\0\0\0", 4)) {
        ByteCursor offset_field(short_name, 4);
        const uint32_t at = offset_field.U32();
        if (at >= 4 && at < string_table.size()) {
          ByteCursor text(string_table, at);
          name = std::string(text.CString());
        }
      } else {
        name = std::string(short_name.substr(0, short_name.find('\0')));
      }
      const uint64_t address = uint64_t{image_base} + where.virtual_address + value;
      if ((where.characteristics & kCodeSection) != 0 && !name.empty() && name[0] != '.' &&
          address <= 0xFFFFFFFFull)
        functions.push_back({std::move(name), static_cast<uint32_t>(address), file});
    }
    i += aux_count;
  }
  return functions;
}

}  // namespace

std::optional<PeDebugImage> PeDebugImage::FromBytes(std::string bytes, std::string& error) {
  const RawFile raw(bytes);
  const auto headers = trace::ReadPeHeaders(raw, 0);
  if (!headers) {
    error = "not a PE32 image (no MZ, PE signature or PE32 optional header)";
    return std::nullopt;
  }
  PeDebugImage image;
  image.image_base_ = headers->image_base;

  // The COFF file header follows the 4-byte signature: the symbol table's file offset at +8,
  // its count of 18-byte records at +12; the string table follows the records.
  ByteCursor file_header(bytes, headers->pe_offset + 4 + 8);
  const uint32_t symbols_offset = file_header.U32();
  const uint32_t symbol_count = file_header.U32();
  std::string_view string_table;
  const uint64_t table_offset = uint64_t{symbols_offset} + uint64_t{symbol_count} * kCoffSymbolSize;
  if (file_header.ok() && symbols_offset != 0 && table_offset + 4 <= bytes.size()) {
    ByteCursor table(bytes, static_cast<size_t>(table_offset));
    const uint32_t size = table.U32();
    if (size >= 4 && size <= bytes.size() - table_offset)
      string_table = std::string_view(bytes).substr(static_cast<size_t>(table_offset), size);
  }

  for (const trace::SectionHeader& header : headers->sections) {
    PeSection section;
    section.name = ResolveName(header.name, string_table);
    section.virtual_address = header.virtual_address;
    section.virtual_size = header.virtual_size;
    section.raw_offset = header.raw_offset;
    section.raw_size = header.raw_size;
    section.characteristics = header.characteristics;
    image.sections_.push_back(std::move(section));
  }

  const uint64_t base = headers->image_base;
  uint64_t start = base + headers->code_base;
  uint64_t end = start + headers->code_size;
  if (!image.sections_.empty() && (image.sections_[0].characteristics & kCodeSection) != 0) {
    start = base + image.sections_[0].virtual_address;
    end = start + image.sections_[0].virtual_size;
  }
  if (end > 0xFFFFFFFFull || start > end) {
    error = "code range outside the 32-bit address space";
    return std::nullopt;
  }
  image.code_start_ = static_cast<uint32_t>(start);
  image.code_end_ = static_cast<uint32_t>(end);
  if (headers->entry_point != 0 && base + headers->entry_point <= 0xFFFFFFFFull)
    image.entry_point_ = static_cast<uint32_t>(base + headers->entry_point);
  image.coff_functions_ = ReadCoffFunctions(bytes, symbols_offset, symbol_count, string_table,
                                            image.sections_, image.image_base_);
  image.bytes_ = std::move(bytes);
  return image;
}

std::optional<PeDebugImage> PeDebugImage::Load(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileSize) {
    error = "file too large or unreadable: " + path;
    return std::nullopt;
  }
  file.seekg(0);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && !file.read(bytes.data(), size)) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  auto image = FromBytes(std::move(bytes), error);
  if (!image) error = path + ": " + error;
  return image;
}

const PeSection* PeDebugImage::Find(std::string_view name) const {
  for (const PeSection& section : sections_)
    if (section.name == name) return &section;
  return nullptr;
}

std::string_view PeDebugImage::Contents(std::string_view name) const {
  const PeSection* section = Find(name);
  return section ? Contents(*section) : std::string_view();
}

std::string_view PeDebugImage::Contents(const PeSection& section) const {
  if (section.raw_offset >= bytes_.size()) return {};
  uint64_t size = section.raw_size;
  if (section.virtual_size != 0 && section.virtual_size < size) size = section.virtual_size;
  size = std::min<uint64_t>(size, bytes_.size() - section.raw_offset);
  return std::string_view(bytes_).substr(section.raw_offset, static_cast<size_t>(size));
}

}  // namespace symtool
