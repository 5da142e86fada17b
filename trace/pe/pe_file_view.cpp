#include "trace/pe/pe_file_view.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "trace/pe/file_bytes_space.h"
#include "trace/system/file_contents.h"

namespace trace {
namespace {

constexpr uint32_t kCodeSection = 0x00000020;        // IMAGE_SCN_CNT_CODE
constexpr uint32_t kExecutableSection = 0x20000000;  // IMAGE_SCN_MEM_EXECUTE
constexpr uint64_t kMaxFileSize = 512u << 20;

}  // namespace

std::optional<PeFileView> PeFileView::Load(const std::string& path, std::string& error) {
  FileReadError read_error = FileReadError::kNone;
  const std::optional<std::string> contents = ReadFileContents(path, kMaxFileSize, &read_error);
  if (!contents) {
    error = read_error == FileReadError::kOpen       ? "cannot open " + path
            : read_error == FileReadError::kTooLarge ? "file too large or unreadable: " + path
                                                     : "cannot read " + path;
    return std::nullopt;
  }
  return FromBytes(std::vector<uint8_t>(contents->begin(), contents->end()), path, error);
}

std::optional<PeFileView> PeFileView::FromBytes(const std::vector<uint8_t>& file, std::string path,
                                                std::string& error) {
  const FileBytesSpace raw(file);
  auto headers = ReadPeHeaders(raw, 0);
  if (!headers) {
    error = "not a PE32 image (no MZ, PE signature or PE32 optional header)";
    return std::nullopt;
  }
  if (headers->image_size == 0 || headers->image_size > kMaxImageSize ||
      uint64_t{headers->image_base} + headers->image_size > 0x100000000ull) {
    error = "image size out of range";
    return std::nullopt;
  }
  PeFileView view;
  view.path_ = std::move(path);
  view.image_.assign(headers->image_size, 0);
  const uint32_t header_bytes = static_cast<uint32_t>(
      std::min<uint64_t>({headers->headers_size, file.size(), headers->image_size}));
  std::copy_n(file.begin(), header_bytes, view.image_.begin());
  for (const SectionHeader& section : headers->sections) {
    const uint64_t begin = section.virtual_address;
    if (begin >= headers->image_size) continue;
    const uint64_t room = headers->image_size - begin;
    uint64_t raw = section.raw_size;
    if (section.virtual_size != 0) raw = std::min<uint64_t>(raw, section.virtual_size);
    if (section.raw_offset >= file.size()) raw = 0;
    raw = std::min<uint64_t>(
        {raw, file.size() - std::min<uint64_t>(section.raw_offset, file.size()), room});
    std::copy_n(file.begin() + section.raw_offset, raw, view.image_.begin() + begin);
    const uint64_t size =
        std::min<uint64_t>(section.virtual_size ? section.virtual_size : section.raw_size, room);
    MappedSection mapped;
    mapped.name = section.name;
    mapped.begin = headers->image_base + static_cast<uint32_t>(begin);
    mapped.end = mapped.begin + static_cast<uint32_t>(size);
    mapped.is_code = (section.characteristics & (kCodeSection | kExecutableSection)) != 0;
    view.sections_.push_back(mapped);
  }
  view.headers_ = std::move(*headers);
  view.headers_.module_base = view.headers_.image_base;
  if (const auto image = PeImage::Open(view, view.headers_.image_base)) {
    for (const ExportEntry& entry : image->AllExports()) {
      if (entry.is_forwarder) continue;
      const uint32_t address = view.headers_.image_base + entry.rva;
      std::string name = entry.name;
      if (name.empty()) name.append("#").append(std::to_string(entry.ordinal));
      auto [it, inserted] = view.export_names_.emplace(address, name);
      if (!inserted && it->second[0] == '#' && !entry.name.empty()) it->second = name;
    }
  }
  return view;
}

bool PeFileView::Read(uint32_t address, void* buffer, uint32_t count) const {
  const uint64_t offset = uint64_t{address} - headers_.image_base;
  if (address < headers_.image_base || offset + count > image_.size()) return false;
  if (count) std::memcpy(buffer, image_.data() + offset, count);
  return true;
}

std::optional<MemoryRegion> PeFileView::Region(uint32_t address) const {
  if (address < headers_.image_base || address - headers_.image_base >= image_.size()) {
    return std::nullopt;
  }
  return MemoryRegion{headers_.image_base, static_cast<uint32_t>(image_.size()),
                      headers_.image_base, true};
}

std::optional<ModuleInfo> PeFileView::ModuleOf(uint32_t address) const {
  if (!Region(address)) return std::nullopt;
  const bool is_dll = (headers_.characteristics & 0x2000) != 0;
  return ModuleInfo{headers_.image_base, static_cast<uint32_t>(image_.size()), path_, !is_dll};
}

std::string PeFileView::ExportName(uint32_t address) const {
  auto it = export_names_.find(address);
  return it == export_names_.end() ? std::string() : it->second;
}

std::vector<MappedSection> PeFileView::CodeSections() const {
  std::vector<MappedSection> code;
  for (const MappedSection& section : sections_) {
    if (section.is_code) code.push_back(section);
  }
  return code;
}

}  // namespace trace
