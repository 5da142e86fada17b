#include "tools/symtool/symbol_table_builder.h"

#include <algorithm>
#include <map>
#include <vector>

#include "tools/symtool/dwarf_info.h"
#include "tools/symtool/dwarf_line_program.h"
#include "tools/symtool/function_name.h"
#include "trace/symbols/symbol_block_writer.h"

namespace symtool {
namespace {

// Gaps of at most this many bytes between two runs of one unit are alignment padding.
constexpr uint64_t kPaddingGap = 16;

struct Piece {
  uint64_t begin = 0;
  uint64_t end = 0;
  std::string unit;
};

struct Sequence {
  uint64_t begin = 0;
  uint64_t end = 0;
  const std::vector<DwarfLineRow>* rows = nullptr;
  size_t first = 0;  // index of its first row
  size_t last = 0;   // index of its end_sequence row
};

class Builder {
 public:
  Builder(uint32_t code_start, uint32_t code_end, SymbolTableStats& stats)
      : start_(code_start), end_(code_end), stats_(stats) {}

  trace::SymbolTable Build(const DwarfSections& sections,
                           const std::vector<CoffFunction>& symbols) {
    const DwarfInfo info = ReadDwarfInfo(sections);
    stats_.units = info.units.size();
    stats_.malformed_units = info.malformed_units;
    BuildFunctions(info, symbols);
    BuildRanges(info);
    BuildLines(info, sections);
    return std::move(table_);
  }

 private:
  // The part of the range inside the code; false when nothing is.
  bool Clip(const AddressRange& range, AddressRange& out) const {
    out.begin = std::max<uint64_t>(range.begin, start_);
    out.end = std::min<uint64_t>(range.end, end_);
    return out.end > out.begin;
  }

  uint32_t Offset(uint64_t address) const { return static_cast<uint32_t>(address - start_); }

  void BuildRanges(const DwarfInfo& info) {
    std::vector<std::vector<AddressRange>> function_code(info.units.size());
    for (const DwarfFunction& function : info.functions)
      if (function.unit < function_code.size())
        function_code[function.unit].insert(function_code[function.unit].end(),
                                            function.ranges.begin(), function.ranges.end());
    std::vector<Piece> pieces;
    for (size_t u = 0; u < info.units.size(); ++u) {
      const DwarfUnit& unit = info.units[u];
      const std::string name = UnitName(unit.name);
      // A unit that states no code range of its own is known by its functions.
      const auto& code = unit.ranges.empty() ? function_code[u] : unit.ranges;
      AddressRange clipped;
      for (const AddressRange& range : code)
        if (Clip(range, clipped)) pieces.push_back({clipped.begin, clipped.end, name});
    }
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Piece& a, const Piece& b) { return a.begin < b.begin; });
    std::vector<Piece> runs;
    for (Piece& piece : pieces) {
      if (!runs.empty()) {
        Piece& last = runs.back();
        piece.begin = std::max(piece.begin, last.end);
        if (piece.end <= piece.begin) continue;
        if (last.unit == piece.unit && piece.begin - last.end <= kPaddingGap) {
          last.end = piece.end;
          continue;
        }
      }
      runs.push_back(std::move(piece));
    }
    AddSymbolRuns(runs);
    for (const Piece& run : runs) {
      table_.ranges.push_back(
          {run.unit, Offset(run.begin), static_cast<uint32_t>(run.end - run.begin)});
      run_ends_.push_back(run.end);
    }
  }

  // Code that only the symbol table names belongs to the file of its function's ".file"
  // record, from the function's start to the next function, in the gaps DWARF leaves.
  void AddSymbolRuns(std::vector<Piece>& runs) const {
    std::vector<Piece> added;
    for (const auto& [address, file] : symbol_only_) {
      if (file.empty()) continue;
      const auto next = std::upper_bound(
          table_.functions.begin(), table_.functions.end(), Offset(address),
          [](uint32_t offset, const trace::SymbolFunction& f) { return offset < f.offset; });
      uint64_t end = next == table_.functions.end() ? end_ : start_ + next->offset;
      const auto run = std::upper_bound(runs.begin(), runs.end(), address,
                                        [](uint64_t a, const Piece& p) { return a < p.end; });
      if (run != runs.end()) {
        if (run->begin <= address) continue;
        end = std::min(end, run->begin);
      }
      if (end > address) added.push_back({address, end, UnitName(file)});
    }
    if (added.empty()) return;
    runs.insert(runs.end(), added.begin(), added.end());
    std::sort(runs.begin(), runs.end(),
              [](const Piece& a, const Piece& b) { return a.begin < b.begin; });
    std::vector<Piece> merged;
    for (Piece& run : runs) {
      if (!merged.empty()) {
        Piece& last = merged.back();
        // Symbols at one address (constructor aliases) give pieces that overlap.
        if (last.unit == run.unit && run.begin <= last.end + kPaddingGap) {
          last.end = std::max(last.end, run.end);
          continue;
        }
        run.begin = std::max(run.begin, last.end);
        if (run.end <= run.begin) continue;
      }
      merged.push_back(std::move(run));
    }
    runs = std::move(merged);
  }

  void BuildFunctions(const DwarfInfo& info, const std::vector<CoffFunction>& symbols) {
    std::vector<std::pair<uint64_t, std::string>> entries;
    std::vector<AddressRange> described;  // code of the functions DWARF describes
    for (const DwarfFunction& function : info.functions) {
      std::string name;
      if (!function.linkage_name.empty())
        name = ShortFunctionName(Demangle(function.linkage_name));
      else
        name = function.name;
      name = FitFunctionName(name, trace::kMaxPackedStringLength);
      for (const AddressRange& range : function.ranges) {
        ++stats_.functions;
        AddressRange clipped;
        // Only a range that starts inside the code names its start.
        if (range.begin < start_ || !Clip(range, clipped)) continue;
        if (name.empty()) {
          ++stats_.unnamed_functions;
          continue;
        }
        described.push_back(clipped);
        entries.emplace_back(clipped.begin, name);
      }
    }
    // Functions without DWARF (run-time libraries, assembly) are named by the symbol table.
    std::sort(described.begin(), described.end(),
              [](const auto& a, const auto& b) { return a.begin < b.begin; });
    uint64_t reach = 0;  // ends made non-decreasing, so that the search below is sound
    for (AddressRange& range : described)
      range.end = reach = std::max(reach, range.end);
    for (const CoffFunction& symbol : symbols) {
      if (symbol.address < start_ || symbol.address >= end_) continue;
      const auto covering =
          std::upper_bound(described.begin(), described.end(), uint64_t{symbol.address},
                           [](uint64_t a, const AddressRange& r) { return a < r.end; });
      if (covering != described.end() && covering->begin <= symbol.address) continue;
      std::string_view name = symbol.name;
      // i386 COFF puts an underscore in front of C and C++ names ("_memcmp", "__ZNSs4swapERSs").
      if (!name.empty() && name[0] == '_') name.remove_prefix(1);
      std::string readable =
          FitFunctionName(ShortFunctionName(Demangle(name)), trace::kMaxPackedStringLength);
      // A symbol name of blanks or brackets alone names nothing.
      if (readable.empty()) continue;
      ++stats_.symbol_functions;
      entries.emplace_back(symbol.address, std::move(readable));
      symbol_only_.emplace_back(symbol.address, symbol.file);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [address, name] : entries) {
      if (!table_.functions.empty() && table_.functions.back().offset == Offset(address)) continue;
      table_.functions.push_back({std::move(name), Offset(address)});
    }
  }

  // Index of the unit run that holds address; runs.size() when none does.
  size_t RunOf(uint64_t address) const {
    const auto it = std::upper_bound(run_ends_.begin(), run_ends_.end(), address);
    const size_t index = static_cast<size_t>(it - run_ends_.begin());
    if (index < table_.ranges.size() && table_.ranges[index].offset <= Offset(address))
      return index;
    return table_.ranges.size();
  }

  void BuildLines(const DwarfInfo& info, const DwarfSections& sections) {
    std::map<uint64_t, std::vector<DwarfLineRow>> programs;  // by offset, each read once
    std::vector<Sequence> sequences;
    for (const DwarfUnit& unit : info.units) {
      if (!unit.line_offset) continue;
      auto [it, fresh] = programs.try_emplace(*unit.line_offset);
      if (!fresh) continue;
      bool ok = false;
      it->second = ReadLineProgram(sections.line, *unit.line_offset, unit.address_size, ok);
      const std::vector<DwarfLineRow>& rows = it->second;
      stats_.line_rows += rows.size();
      size_t first = 0;
      for (size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].end_sequence) continue;
        const uint64_t begin = rows[first].address;
        if (i > first && begin >= start_ && rows[i].address <= end_ && rows[i].address > begin)
          sequences.push_back({begin, rows[i].address, &rows, first, i});
        first = i + 1;
      }
    }
    std::stable_sort(sequences.begin(), sequences.end(),
                     [](const Sequence& a, const Sequence& b) { return a.begin < b.begin; });
    uint64_t covered = 0;
    for (const Sequence& sequence : sequences) {
      if (sequence.begin < covered) {
        ++stats_.dropped_sequences;
        continue;
      }
      covered = sequence.end;
      const std::vector<DwarfLineRow>& rows = *sequence.rows;
      size_t previous_run = table_.ranges.size() + 1;
      for (size_t i = sequence.first; i < sequence.last; ++i) {
        // Of several rows at one address the last one counts.
        if (rows[i + 1].address == rows[i].address) continue;
        if (rows[i + 1].address < rows[i].address) break;  // a sequence that goes backwards
        const int32_t line = static_cast<int32_t>(std::min<uint32_t>(rows[i].line, INT32_MAX));
        const size_t run = RunOf(rows[i].address);
        if (run == previous_run && !table_.lines.empty() && table_.lines.back().line == line)
          continue;
        table_.lines.push_back({line, Offset(rows[i].address)});
        previous_run = run;
      }
    }
  }

  const uint32_t start_;
  const uint32_t end_;
  SymbolTableStats& stats_;
  trace::SymbolTable table_;
  std::vector<uint64_t> run_ends_;  // end address of every unit range, in order
  // Start and file of the functions known from the symbol table only.
  std::vector<std::pair<uint64_t, std::string>> symbol_only_;
};

}  // namespace

std::string UnitName(const std::string& source_file) {
  const size_t slash = source_file.find_last_of("/\\");
  std::string name = slash == std::string::npos ? source_file : source_file.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

DwarfSections DwarfSectionsOf(const PeDebugImage& image) {
  DwarfSections sections;
  sections.info = image.Contents(".debug_info");
  sections.abbrev = image.Contents(".debug_abbrev");
  sections.str = image.Contents(".debug_str");
  sections.line_str = image.Contents(".debug_line_str");
  sections.str_offsets = image.Contents(".debug_str_offsets");
  sections.addr = image.Contents(".debug_addr");
  sections.line = image.Contents(".debug_line");
  sections.ranges = image.Contents(".debug_ranges");
  sections.rnglists = image.Contents(".debug_rnglists");
  return sections;
}

trace::SymbolTable BuildSymbolTable(const DwarfSections& sections, uint32_t code_start,
                                    uint32_t code_end, SymbolTableStats* stats,
                                    const std::vector<CoffFunction>& symbols) {
  SymbolTableStats local;
  return Builder(code_start, code_end, stats ? *stats : local).Build(sections, symbols);
}

trace::SymbolTable BuildSymbolTable(const PeDebugImage& image, SymbolTableStats* stats) {
  trace::SymbolTable table = BuildSymbolTable(DwarfSectionsOf(image), image.code_start(),
                                              image.code_end(), stats, image.coff_functions());
  if (image.entry_point() && *image.entry_point() >= image.code_start() &&
      *image.entry_point() < image.code_end())
    table.entry_point = *image.entry_point() - image.code_start();
  return table;
}

}  // namespace symtool
