// symbol_truth: the symbol block embedded in a program against addr2line on the same program.
//
//   symbol_truth [--addr2line PROGRAM] [--samples N] [--min-functions PERCENT]
//                [--min-lines PERCENT] [--show N] [--shipped STRIPPED] EXE
//
// EXE is an unstripped program (with DWARF) that carries its block. Every function with code
// that the DWARF describes gives its first address, and N further addresses are drawn inside
// the functions (fixed seed). All of them go to one run of
//   addr2line -f -i -a -e EXE
// and for every address the block's public (through TMapFile, as the crash reporter reads
// it) is compared with the function addr2line names, and the block's line with the line
// addr2line gives first.
//
// The comparisons:
//   - addr2line names, for code inlined into a function, the inlined function first and the
//     function whose code it is last; the block names the latter, so the last frame counts.
//   - addr2line -C takes the names of DWARF for COFF symbol names and drops their first
//     character when it is the underscore of COFF symbols, which breaks "_Z" names and C
//     names starting with "_"; its names are therefore read without -C and demangled here the
//     way the symbol tool does (ShortFunctionName of Demangle), cut to the 255 characters a
//     block holds.
// With --shipped, STRIPPED (the program as shipped) must carry the same block and no DWARF.
//
// Exits 1 when an agreement is below its minimum (default 100% of function entries and
// 99.5% of line numbers) or a tool fails.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tools/symtool/dwarf_info.h"
#include "tools/symtool/function_name.h"
#include "tools/symtool/pe_debug_image.h"
#include "tools/symtool/symbol_table_builder.h"
#include "trace/pe/pe_file_view.h"
#include "trace/pe/pe_resource.h"
#include "trace/symbols/map_file.h"
#include "trace/symbols/symbol_block_key.h"
#include "trace/symbols/symbol_block_reader.h"
#include "trace/symbols/symbol_block_writer.h"
#include "trace/symbols/symbol_sources.h"

namespace {

struct Sample {
  uint32_t address = 0;
  bool entry = false;  // the first address of a function
};

// What addr2line says about one address.
struct Answer {
  std::vector<std::string> functions;  // innermost first
  int32_t line = 0;                    // of the innermost frame; 0 for "?"
};

std::string ShortName(const std::string& raw) {
  if (raw == "??") return {};
  return symtool::FitFunctionName(symtool::ShortFunctionName(symtool::Demangle(raw)),
                                  trace::kMaxPackedStringLength);
}

// The name with every template argument list written "<...>", as a long name is fitted.
std::string WithoutTemplateArguments(const std::string& name) {
  std::string out;
  int depth = 0;
  for (char c : name) {
    if (c == '<' && depth++ == 0) out += "<...>";
    if (c == '>' && depth > 0) {
      --depth;
      continue;
    }
    if (depth == 0) out += c;
  }
  return out;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() > tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The block's name agrees with addr2line's: equal, or, where DWARF has no linkage name and
// addr2line shows the bare name, the block's qualified name ends in "::" and that name (with
// template arguments written "<...>" when the qualified name had to be fitted).
bool SameFunction(const std::string& block, const std::string& raw, const std::string& expected,
                  bool& by_bare_name) {
  by_bare_name = false;
  if (block == expected) return true;
  if (raw.rfind("_Z", 0) == 0 || expected.empty()) return false;
  by_bare_name = EndsWith(block, "::" + expected) ||
                 (block.find("<...>") != std::string::npos &&
                  EndsWith(block, "::" + WithoutTemplateArguments(expected)));
  return by_bare_name;
}

int32_t LineOf(const std::string& location) {
  const size_t colon = location.rfind(':');
  if (colon == std::string::npos) return 0;
  return std::atoi(location.c_str() + colon + 1);
}

bool RunAddr2line(const std::string& program, const std::string& exe,
                  const std::vector<Sample>& samples, std::vector<Answer>& answers) {
  char input_name[] = "/tmp/symbol_truth_XXXXXX";
  const int fd = mkstemp(input_name);
  if (fd < 0) return false;
  {
    std::ofstream input(input_name);
    for (const Sample& sample : samples) {
      char text[16];
      std::snprintf(text, sizeof text, "%x\n", sample.address);
      input << text;
    }
  }
  const std::string command = program + " -f -i -a -e '" + exe + "' < " + input_name;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  std::vector<std::string> lines;
  std::string line;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      lines.push_back(line);
      line.clear();
    }
  }
  const int status = pclose(pipe);
  std::remove(input_name);
  if (status != 0) return false;
  // Every address starts a group: "0x%08x", then pairs of function and file:line lines.
  for (size_t i = 0; i < lines.size();) {
    if (lines[i].rfind("0x", 0) != 0) return false;
    Answer answer;
    ++i;
    bool first = true;
    while (i + 1 < lines.size() && lines[i].rfind("0x", 0) != 0) {
      answer.functions.push_back(lines[i]);
      if (first) answer.line = LineOf(lines[i + 1]);
      first = false;
      i += 2;
    }
    answers.push_back(std::move(answer));
  }
  return answers.size() == samples.size();
}

}  // namespace

int main(int argc, char** argv) {
  std::string addr2line = "i686-w64-mingw32-addr2line";
  std::string exe;
  std::string shipped;
  size_t sample_count = 20000;
  size_t show = 10;
  double min_functions = 100.0;
  double min_lines = 99.5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--addr2line" && has_value) {
      addr2line = argv[++i];
    } else if (arg == "--samples" && has_value) {
      sample_count = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--shipped" && has_value) {
      shipped = argv[++i];
    } else if (arg == "--show" && has_value) {
      show = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--min-functions" && has_value) {
      min_functions = std::atof(argv[++i]);
    } else if (arg == "--min-lines" && has_value) {
      min_lines = std::atof(argv[++i]);
    } else if (exe.empty() && !arg.empty() && arg[0] != '-') {
      exe = arg;
    } else {
      std::fprintf(stderr,
                   "usage: symbol_truth [--addr2line PROGRAM] [--samples N] [--min-functions "
                   "PERCENT] [--min-lines PERCENT] [--show N] [--shipped STRIPPED] EXE\n");
      return 2;
    }
  }

  // The block as the program carries it, read as the crash reporter reads it.
  std::string error;
  const auto view = trace::PeFileView::Load(exe, error);
  if (!view) {
    std::fprintf(stderr, "symbol_truth: %s\n", error.c_str());
    return 1;
  }
  const auto block = trace::FindResourceData(*view, view->image_base(), trace::kSymbolResourceType,
                                             trace::kSymbolResourceName);
  trace::TMapFile map;
  map.SetModule(view->image_base(), exe);
  if (!block || !trace::SetModuleRanges(*view, view->image_base(), map) ||
      !trace::ReadSymbolBlock(*block, map) || map.publics().empty()) {
    std::fprintf(stderr, "symbol_truth: %s carries no readable symbol block\n", exe.c_str());
    return 1;
  }

  if (!shipped.empty()) {
    const auto stripped = trace::PeFileView::Load(shipped, error);
    const auto shipped_image = symtool::PeDebugImage::Load(shipped, error);
    if (!stripped || !shipped_image) {
      std::fprintf(stderr, "symbol_truth: %s\n", error.c_str());
      return 1;
    }
    const auto shipped_block = trace::FindResourceData(
        *stripped, stripped->image_base(), trace::kSymbolResourceType, trace::kSymbolResourceName);
    if (shipped_block != block) {
      std::fprintf(stderr, "symbol_truth: %s does not carry the block of %s\n", shipped.c_str(),
                   exe.c_str());
      return 1;
    }
    for (const auto& section : shipped_image->sections()) {
      if (section.name.rfind(".debug", 0) == 0) {
        std::fprintf(stderr, "symbol_truth: %s still holds %s\n", shipped.c_str(),
                     section.name.c_str());
        return 1;
      }
    }
    std::printf("%s carries the same %zu-byte block and no DWARF\n", shipped.c_str(),
                block->size());
  }

  // The unit ranges follow one another without overlap.
  uint64_t segment_end = 0;
  for (const trace::TMfSegment& segment : map.segments()) {
    if (segment.start < segment_end) {
      std::fprintf(stderr, "symbol_truth: unit range %s at %08x overlaps the one before\n",
                   segment.unit_name.c_str(), segment.start);
      return 1;
    }
    segment_end = uint64_t{segment.start} + segment.length;
  }

  // The functions as DWARF describes them, and addresses inside them.
  const auto image = symtool::PeDebugImage::Load(exe, error);
  if (!image) {
    std::fprintf(stderr, "symbol_truth: %s\n", error.c_str());
    return 1;
  }
  const symtool::DwarfInfo info = symtool::ReadDwarfInfo(symtool::DwarfSectionsOf(*image));
  std::vector<symtool::AddressRange> code;
  for (const auto& function : info.functions)
    for (const auto& range : function.ranges)
      if (range.begin >= image->code_start() && range.end <= image->code_end())
        code.push_back(range);
  std::sort(code.begin(), code.end(),
            [](const auto& a, const auto& b) { return a.begin < b.begin; });
  code.erase(std::unique(code.begin(), code.end(),
                         [](const auto& a, const auto& b) { return a.begin == b.begin; }),
             code.end());
  std::vector<Sample> samples;
  uint64_t code_bytes = 0;
  for (const auto& range : code) {
    samples.push_back({static_cast<uint32_t>(range.begin), true});
    code_bytes += range.end - range.begin;
  }
  std::mt19937_64 random(20261208);
  for (size_t i = 0; i < sample_count && code_bytes > 0; ++i) {
    uint64_t at = std::uniform_int_distribution<uint64_t>(0, code_bytes - 1)(random);
    for (const auto& range : code) {
      if (at < range.end - range.begin) {
        samples.push_back({static_cast<uint32_t>(range.begin + at), false});
        break;
      }
      at -= range.end - range.begin;
    }
  }

  std::vector<Answer> answers;
  if (!RunAddr2line(addr2line, exe, samples, answers)) {
    std::fprintf(stderr, "symbol_truth: %s failed or gave output that could not be read\n",
                 addr2line.c_str());
    return 1;
  }

  size_t entries = 0, entries_agree = 0, addresses = 0, functions_agree = 0;
  size_t innermost_agree = 0, inlined = 0, lines_agree = 0, line_unknown = 0, bare = 0;
  size_t shown = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const Sample& sample = samples[i];
    const Answer& answer = answers[i];
    const std::string expected = answer.functions.empty() ? "" : ShortName(answer.functions.back());
    const std::string innermost =
        answer.functions.empty() ? "" : ShortName(answer.functions.front());
    const trace::TMfPublic found = map.PublicAt(sample.address);
    const std::string name = found.valid ? found.name : "";
    const int32_t line = map.LineAt(sample.address);
    bool by_bare_name = false;
    const bool function_ok = SameFunction(
        name, answer.functions.empty() ? "" : answer.functions.back(), expected, by_bare_name);
    if (by_bare_name) ++bare;
    const bool line_ok = line == answer.line;
    ++addresses;
    if (answer.functions.size() > 1) ++inlined;
    if (function_ok) ++functions_agree;
    bool ignored = false;
    if (SameFunction(name, answer.functions.empty() ? "" : answer.functions.front(), innermost,
                     ignored))
      ++innermost_agree;
    if (line_ok) ++lines_agree;
    if (answer.line == 0) ++line_unknown;
    if (sample.entry) {
      ++entries;
      if (function_ok) ++entries_agree;
    }
    if ((!function_ok || !line_ok) && shown < show) {
      ++shown;
      std::printf("  %08x: block %s line %d; addr2line %s line %d\n", sample.address, name.c_str(),
                  line, expected.c_str(), answer.line);
    }
  }
  auto percent = [](size_t part, size_t whole) {
    return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 100.0;
  };
  const double entry_share = percent(entries_agree, entries);
  const double function_share = percent(functions_agree, addresses);
  const double line_share = percent(lines_agree, addresses);
  std::printf("%s: %zu publics, %zu lines in the block\n", exe.c_str(), map.publics().size(),
              map.lines().size());
  std::printf("function entries: %zu of %zu agree (%.3f%%)\n", entries_agree, entries, entry_share);
  std::printf(
      "functions at all %zu addresses: %zu agree (%.3f%%); %zu addresses lie in inlined "
      "code, where addr2line names the inlined function first (the block agrees with "
      "that innermost name at %zu addresses)\n",
      addresses, functions_agree, function_share, inlined, innermost_agree);
  std::printf(
      "of the agreeing addresses, %zu agree by the bare name of a function without "
      "linkage name\n",
      bare);
  std::printf("lines: %zu of %zu agree (%.3f%%); addr2line knows no line at %zu of them\n",
              lines_agree, addresses, line_share, line_unknown);
  const bool pass = entry_share >= min_functions && line_share >= min_lines;
  std::printf("%s\n", pass ? "PASS" : "FAIL");
  return pass ? 0 : 1;
}
