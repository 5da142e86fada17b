#include "trace/symbols/td32_writer.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "trace/symbols/little_endian.h"

namespace trace {
namespace {

// Most pairs one line block holds (its count is 16 bits).
constexpr size_t kMaxPairsPerBlock = 0xFFFF;

struct Subsection {
  uint16_t type = 0;
  uint16_t module = 0;
  std::string bytes;
};

// The 1-based table of names of the names subsection.
class NameTable {
 public:
  // Index of text, added on first use.
  uint32_t Index(std::string_view text) {
    const std::string name(text.substr(0, std::min<size_t>(text.size(), 255)));
    const auto [it, added] = indexes_.emplace(name, static_cast<uint32_t>(names_.size() + 1));
    if (added) names_.push_back(name);
    return it->second;
  }
  // The subsection: the name count, then each name as a length byte, its characters and 0.
  std::string Bytes() const {
    std::string out;
    AppendLe32(out, static_cast<uint32_t>(names_.size()));
    for (const std::string& name : names_) {
      out += static_cast<char>(name.size());
      out += name;
      out += '\0';
    }
    return out;
  }

 private:
  std::map<std::string, uint32_t> indexes_;
  std::vector<std::string> names_;
};

struct Unit {
  std::string name;
  std::vector<const SymbolUnitRange*> ranges;
  std::vector<const SymbolLine*> lines;
};

std::vector<Unit> UnitsOf(const SymbolTable& table) {
  std::vector<Unit> units;
  std::map<std::string, size_t> index;
  std::vector<size_t> unit_of_range;
  for (const SymbolUnitRange& range : table.ranges) {
    const auto [it, added] = index.emplace(range.unit, units.size());
    if (added) units.push_back(Unit{range.unit, {}, {}});
    units[it->second].ranges.push_back(&range);
    unit_of_range.push_back(it->second);
  }
  for (const SymbolLine& line : table.lines) {
    for (size_t i = 0; i < table.ranges.size(); ++i) {
      const SymbolUnitRange& range = table.ranges[i];
      if (line.offset >= range.offset &&
          uint64_t{line.offset} < uint64_t{range.offset} + range.length) {
        units[unit_of_range[i]].lines.push_back(&line);
        break;
      }
    }
  }
  return units;
}

// Module subsection: segment count at 4, name index at 8, 12-byte segment records from 28.
std::string ModuleBytes(const Unit& unit, uint32_t name_index) {
  std::string out(28, '\0');
  out[4] = static_cast<char>(unit.ranges.size() & 0xFF);
  out[5] = static_cast<char>((unit.ranges.size() >> 8) & 0xFF);
  PutLe32(out, 8, name_index);
  for (const SymbolUnitRange* range : unit.ranges) {
    AppendLe16(out, 1);  // segment
    AppendLe16(out, 1);  // code
    AppendLe32(out, range->offset);
    AppendLe32(out, range->length);
  }
  return out;
}

// Source-module subsection with one file whose line blocks hold up to 65535 pairs each.
std::string SourceModuleBytes(const Unit& unit, uint32_t file_name_index) {
  const size_t block_count = (unit.lines.size() + kMaxPairsPerBlock - 1) / kMaxPairsPerBlock;
  std::string out;
  AppendLe16(out, 1);  // files
  AppendLe16(out, static_cast<uint16_t>(block_count));
  AppendLe32(out, 8);  // the file record follows
  // File record: block count, the file's name index, then the offsets of the line blocks.
  AppendLe16(out, static_cast<uint16_t>(block_count));
  AppendLe32(out, file_name_index);
  const size_t offsets = out.size();
  out.append(block_count * 4, '\0');
  for (size_t block = 0; block < block_count; ++block) {
    PutLe32(out, offsets + block * 4, static_cast<uint32_t>(out.size()));
    const size_t first = block * kMaxPairsPerBlock;
    const size_t count = std::min(kMaxPairsPerBlock, unit.lines.size() - first);
    AppendLe16(out, 1);  // segment
    AppendLe16(out, static_cast<uint16_t>(count));
    for (size_t i = first; i < first + count; ++i)
      AppendLe32(out, unit.lines[i]->offset);
    for (size_t i = first; i < first + count; ++i) {
      AppendLe16(out, static_cast<uint16_t>(unit.lines[i]->line));
    }
  }
  return out;
}

std::string PublicsBytes(const SymbolTable& table, Td32PublicsForm form, NameTable& names) {
  std::string out;
  if (form == Td32PublicsForm::kGlobalPublics) {
    out.assign(32, '\0');  // the hash header, unused here
    for (const SymbolFunction& function : table.functions) {
      std::string record(24, '\0');
      record[0] = 22;  // length after the length field
      record[2] = 0x20;
      PutLe32(record, 12, names.Index(function.name));
      PutLe32(record, 20, function.offset);
      out += record;
    }
  } else {
    AppendLe32(out, 1);  // signature
    for (const SymbolFunction& function : table.functions) {
      std::string record(44, '\0');
      record[0] = 42;
      record[2] = 0x05;
      record[3] = 0x02;
      PutLe32(record, 28, function.offset);
      PutLe32(record, 40, names.Index(function.name));
      out += record;
    }
  }
  return out;
}

}  // namespace

std::string WriteTd32(const SymbolTable& table, Td32PublicsForm publics) {
  NameTable names;
  std::vector<Subsection> subsections;
  const std::vector<Unit> units = UnitsOf(table);
  for (size_t i = 0; i < units.size(); ++i) {
    const auto module = static_cast<uint16_t>(i + 1);
    const uint32_t name = names.Index(units[i].name);
    subsections.push_back({kTd32Module, module, ModuleBytes(units[i], name)});
    if (!units[i].lines.empty()) {
      const uint32_t file = names.Index(units[i].name + ".cpp");
      subsections.push_back({kTd32SourceModule, module, SourceModuleBytes(units[i], file)});
    }
  }
  const uint16_t publics_type =
      publics == Td32PublicsForm::kGlobalPublics ? kTd32GlobalPublics : kTd32AlignedSymbols;
  subsections.push_back({publics_type, 0xFFFF, PublicsBytes(table, publics, names)});
  subsections.push_back({kTd32Names, 0xFFFF, names.Bytes()});

  std::string out = "FB09";
  AppendLe32(out, 0);
  std::vector<uint32_t> offsets;
  for (const Subsection& subsection : subsections) {
    while (out.size() % 4 != 0)
      out += '\0';
    offsets.push_back(static_cast<uint32_t>(out.size()));
    out += subsection.bytes;
  }
  while (out.size() % 4 != 0)
    out += '\0';
  PutLe32(out, 4, static_cast<uint32_t>(out.size()));
  AppendLe16(out, 16);  // header size
  AppendLe16(out, 12);  // entry size
  AppendLe32(out, static_cast<uint32_t>(subsections.size()));
  AppendLe32(out, 0);  // no further directory
  AppendLe32(out, 0);  // flags
  for (size_t i = 0; i < subsections.size(); ++i) {
    AppendLe16(out, subsections[i].type);
    AppendLe16(out, subsections[i].module);
    AppendLe32(out, offsets[i]);
    AppendLe32(out, static_cast<uint32_t>(subsections[i].bytes.size()));
  }
  return out;
}

}  // namespace trace
