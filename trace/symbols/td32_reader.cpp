#include "trace/symbols/td32_reader.h"

#include <map>
#include <string>
#include <vector>

#include "trace/symbols/little_endian.h"
#include "trace/symbols/map_file_publics.h"
#include "trace/symbols/td32_writer.h"

namespace trace {
namespace {

// Size of a directory entry's fields: type, module index, offset, size.
constexpr uint32_t kMinEntrySize = 12;
// Size of a segment record of a module subsection.
constexpr uint32_t kSegmentRecordSize = 12;

struct Entry {
  uint16_t type = 0;
  std::string_view bytes;  // the subsection, inside the data
};

// Every directory entry whose subsection lies inside the data and overlaps no earlier one,
// over the chain of directories. Subsections of sound data never overlap; refusing overlaps
// keeps the work of damaged data (many entries on the same bytes) linear in its size.
std::vector<Entry> Entries(std::string_view data) {
  std::vector<Entry> entries;
  std::map<uint32_t, uint32_t> taken;  // start -> end of the accepted subsections
  const auto overlaps = [&](uint32_t start, uint32_t end) {
    const auto next = taken.lower_bound(start);
    if (next != taken.end() && next->first < end) return true;
    return next != taken.begin() && std::prev(next)->second > start;
  };
  uint32_t directory = ReadLe32(data, 4).value_or(0);
  for (int walked = 0; walked < kMaxTd32Directories && directory != 0; ++walked) {
    const auto header_size = ReadLe16(data, directory);
    const auto entry_size = ReadLe16(data, uint64_t{directory} + 2);
    const auto count = ReadLe32(data, uint64_t{directory} + 4);
    const auto next = ReadLe32(data, uint64_t{directory} + 8);
    if (!header_size || !entry_size || !count || !next || *entry_size < kMinEntrySize) break;
    const uint64_t first = uint64_t{directory} + *header_size;
    if (first > data.size()) break;
    const uint64_t fitting = (data.size() - first) / *entry_size;
    for (uint64_t i = 0; i < std::min<uint64_t>(*count, fitting); ++i) {
      const uint64_t at = first + i * *entry_size;
      const uint16_t type = ReadLe16(data, at).value_or(0);
      const uint32_t offset = ReadLe32(data, at + 4).value_or(0);
      const uint32_t size = ReadLe32(data, at + 8).value_or(0);
      if (offset > data.size() || data.size() - offset < size || size == 0) continue;
      if (overlaps(offset, offset + size)) continue;
      taken.emplace(offset, offset + size);
      entries.push_back({type, data.substr(offset, size)});
    }
    directory = *next;
  }
  return entries;
}

// The names subsection: a count, then each name as a length byte, its characters and a zero.
std::vector<std::string_view> ReadNames(std::string_view bytes) {
  std::vector<std::string_view> names;
  const uint32_t count = ReadLe32(bytes, 0).value_or(0);
  size_t at = 4;
  while (names.size() < count && at < bytes.size()) {
    const auto length = static_cast<unsigned char>(bytes[at]);
    if (bytes.size() - at - 1 < length) break;
    names.push_back(bytes.substr(at + 1, length));
    at += size_t{length} + 2;
  }
  return names;
}

class Td32Reader {
 public:
  Td32Reader(TMapFile& map, std::vector<std::string_view> names)
      : map_(map), names_(std::move(names)) {}

  void Module(std::string_view bytes) {
    std::string_view name = Name(ReadLe32(bytes, 8).value_or(0));
    const size_t slash = name.rfind('\\');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const uint16_t count = ReadLe16(bytes, 4).value_or(0);
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t at = 28 + uint64_t{i} * kSegmentRecordSize;
      const auto flags = ReadLe16(bytes, at + 2);
      const auto offset = ReadLe32(bytes, at + 4);
      const auto size = ReadLe32(bytes, at + 8);
      if (!flags || !offset || !size) break;
      if (*size == 0) continue;
      const bool code = *flags == 1;
      map_.AddSegment(code, map_.Absolute(code, *offset), *size, std::string(name));
    }
  }

  // Symbol records from first to the end of the subsection.
  void Symbols(std::string_view bytes, size_t first) {
    size_t at = first;
    while (at < bytes.size()) {
      const auto length = ReadLe16(bytes, at);
      if (!length || *length == 0 || bytes.size() - at - 2 < *length) return;
      const std::string_view record = bytes.substr(at, size_t{*length} + 2);
      at += record.size();
      const uint16_t type = ReadLe16(record, 2).value_or(0);
      if (type == 0x204 || type == 0x205) {
        Public(true, ReadLe32(record, 40), ReadLe32(record, 28));
      } else if (type == 0x201 || type == 0x202) {
        Public(false, ReadLe32(record, 16), ReadLe32(record, 4));
      } else if (type == 0x20 || type == 0x21) {
        Public(type == 0x20, ReadLe32(record, 12), ReadLe32(record, 20));
      }
    }
  }

  // The files and line blocks of a source module. Offsets may point at the same bytes many
  // times in damaged data, so the work is bounded by the subsection's size: every block visit
  // costs 4 bytes and every pair 6, as they do in sound data.
  void SourceModule(std::string_view bytes) {
    uint64_t budget = bytes.size();
    const uint16_t files = ReadLe16(bytes, 0).value_or(0);
    for (uint32_t file = 0; file < files; ++file) {
      const auto file_at = ReadLe32(bytes, 4 + uint64_t{file} * 4);
      if (!file_at) return;
      const uint16_t blocks = ReadLe16(bytes, *file_at).value_or(0);
      for (uint32_t block = 0; block < blocks; ++block) {
        if (budget < 4) return;
        budget -= 4;
        const auto block_at = ReadLe32(bytes, uint64_t{*file_at} + 6 + uint64_t{block} * 4);
        if (!block_at) break;
        LineBlock(bytes, *block_at, budget);
      }
    }
  }

 private:
  // The name at a 1-based index; empty for 0 or an index beyond the table.
  std::string_view Name(uint32_t index) const {
    return index >= 1 && index <= names_.size() ? names_[index - 1] : std::string_view();
  }

  void Public(bool code, std::optional<uint32_t> name_index, std::optional<uint32_t> offset) {
    if (!name_index || !offset || *name_index == 0 || *name_index > names_.size()) return;
    AddPublic(map_, code, Name(*name_index), map_.Absolute(code, *offset), PublicSource::kTd32);
  }

  // A line block: segment, pair count, the offsets, then the line numbers.
  void LineBlock(std::string_view bytes, uint32_t at, uint64_t& budget) {
    const uint16_t pairs = ReadLe16(bytes, uint64_t{at} + 2).value_or(0);
    if (budget < uint64_t{pairs} * 6) {
      budget = 0;
      return;
    }
    budget -= uint64_t{pairs} * 6;
    const uint64_t offsets = uint64_t{at} + 4;
    const uint64_t numbers = offsets + uint64_t{pairs} * 4;
    if (numbers + uint64_t{pairs} * 2 > bytes.size()) return;
    for (uint32_t i = 0; i < pairs; ++i) {
      const uint32_t offset = ReadLe32(bytes, offsets + uint64_t{i} * 4).value_or(0);
      const uint16_t line = ReadLe16(bytes, numbers + uint64_t{i} * 2).value_or(0);
      map_.AppendLine(line, map_.Absolute(true, offset));
    }
  }

  TMapFile& map_;
  std::vector<std::string_view> names_;
};

// Cuts each segment to end before its neighbour of the same kind when it runs into it.
void SeparateSegments(TMapFile& map) {
  std::vector<TMfSegment>& segments = map.mutable_segments();
  for (size_t i = 0; i + 1 < segments.size(); ++i) {
    TMfSegment& first = segments[i];
    const TMfSegment& second = segments[i + 1];
    if (first.code != second.code) continue;
    if (uint64_t{first.start} + first.length > second.start) {
      first.length = second.start - first.start;
    }
  }
}

}  // namespace

bool IsTd32(std::string_view data) {
  return data.size() >= 8 && (data.substr(0, 4) == "FB09" || data.substr(0, 4) == "FB0A");
}

bool ReadTd32(std::string_view data, TMapFile& map) {
  if (!IsTd32(data)) return false;
  const std::vector<Entry> entries = Entries(data);
  std::vector<std::string_view> names;
  bool has_global_publics = false;
  for (const Entry& entry : entries) {
    if (entry.type == kTd32Names) names = ReadNames(entry.bytes);
    if (entry.type == kTd32GlobalPublics) has_global_publics = true;
  }
  Td32Reader reader(map, std::move(names));
  for (const Entry& entry : entries) {
    switch (entry.type) {
      case kTd32Module:
        reader.Module(entry.bytes);
        break;
      case kTd32AlignedSymbols:
        if (!has_global_publics) reader.Symbols(entry.bytes, 4);
        break;
      case kTd32GlobalPublics:
        reader.Symbols(entry.bytes, 32);
        break;
      case kTd32SourceModule:
        reader.SourceModule(entry.bytes);
        break;
      default:
        break;
    }
  }
  map.SortPublics();
  map.SortLines();
  SeparateSegments(map);
  map.set_valid(true);
  return true;
}

std::optional<std::string_view> Td32InFile(std::string_view file) {
  if (file.size() < 0x40 || file.substr(0, 2) != "MZ") return file;
  const uint32_t pe = ReadLe32(file, 0x3C).value_or(0);
  if (ReadLe32(file, pe) != 0x00004550u) return file;
  const uint16_t section_count = ReadLe16(file, uint64_t{pe} + 6).value_or(0);
  const uint16_t optional_size = ReadLe16(file, uint64_t{pe} + 20).value_or(0);
  const uint64_t optional = uint64_t{pe} + 24;
  // Data directory 6 (debug) of a PE32 optional header lies at 96 + 6 * 8.
  const auto debug_address = ReadLe32(file, optional + 96 + 48);
  if (section_count == 0 || !debug_address || *debug_address == 0) return std::nullopt;
  const uint64_t last = optional + optional_size + (uint64_t{section_count} - 1) * 40;
  const auto last_address = ReadLe32(file, last + 12);
  const auto last_raw_size = ReadLe32(file, last + 16);
  const auto last_raw_offset = ReadLe32(file, last + 20);
  if (!last_address || !last_raw_size || !last_raw_offset || *last_raw_size == 0 ||
      *last_address != *debug_address) {
    return std::nullopt;
  }
  // The debug directory lies at the start of the last section's raw data.
  const auto raw = ReadLe32(file, uint64_t{*last_raw_offset} + 24);
  if (!raw || *raw > file.size()) return std::nullopt;
  return file.substr(*raw);
}

}  // namespace trace
