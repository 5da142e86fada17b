#include "trace/symbols/map_text_writer.h"

#include <cstdio>
#include <string_view>

namespace trace {
namespace {

constexpr std::string_view kNewLine = "\r\n";

// Length of the whole code, from offset 0 to the end of the last range or function.
uint32_t CodeLength(const SymbolTable& table) {
  uint64_t end = 0;
  for (const SymbolUnitRange& range : table.ranges) {
    end = std::max<uint64_t>(end, uint64_t{range.offset} + range.length);
  }
  for (const SymbolFunction& function : table.functions) {
    end = std::max<uint64_t>(end, uint64_t{function.offset} + 1);
  }
  return static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX));
}

// Index of the range that holds offset, or ranges.size().
size_t RangeOf(const SymbolTable& table, uint32_t offset) {
  for (size_t i = 0; i < table.ranges.size(); ++i) {
    const SymbolUnitRange& range = table.ranges[i];
    if (offset >= range.offset && uint64_t{offset} < uint64_t{range.offset} + range.length) {
      return i;
    }
  }
  return table.ranges.size();
}

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += kNewLine;
}

std::string Format(const char* format, auto... values) {
  char buffer[96];
  const int length = std::snprintf(buffer, sizeof buffer, format, values...);
  return std::string(buffer, length < 0 ? 0 : std::min<size_t>(length, sizeof buffer - 1));
}

// The unit name as the segment line carries it: a name with a "." gets one more "." so that
// cutting the extension gives it back.
std::string SegmentUnit(const std::string& unit) {
  return unit.find('.') == std::string::npos ? unit : unit + ".";
}

void AppendSegments(std::string& out, const SymbolTable& table) {
  AppendLine(out, "Detailed map of segments");
  AppendLine(out, "");
  for (const SymbolUnitRange& range : table.ranges) {
    std::string line = Format(
        " 0001:%08X %08X C=CODE     S=.text    G=(none)   M=", static_cast<unsigned>(range.offset),
        static_cast<unsigned>(range.length));
    std::string unit = SegmentUnit(range.unit);
    if (unit.size() < 12) unit.resize(12, ' ');
    line += unit;
    line += " ACBP=A9";
    AppendLine(out, line);
  }
  AppendLine(out, "");
}

void AppendPublics(std::string& out, const SymbolTable& table) {
  AppendLine(out, "");
  AppendLine(out, "  Address         Publics by Value");
  AppendLine(out, "");
  for (const SymbolFunction& function : table.functions) {
    AppendLine(out,
               Format(" 0001:%08X       ", static_cast<unsigned>(function.offset)) + function.name);
  }
  AppendLine(out, "");
}

void AppendLineSection(std::string& out, const std::string& unit,
                       const std::vector<std::string>& pairs) {
  AppendLine(out, "");
  AppendLine(out, "Line numbers for " + unit + "(" + unit + ".cpp) segment .text");
  AppendLine(out, "");
  for (size_t i = 0; i < pairs.size(); i += 4) {
    std::string line;
    for (size_t j = i; j < pairs.size() && j < i + 4; ++j)
      line += pairs[j];
    AppendLine(out, line);
  }
  AppendLine(out, "");
}

void AppendLines(std::string& out, const SymbolTable& table) {
  size_t current = SIZE_MAX;
  std::vector<std::string> pairs;
  for (const SymbolLine& line : table.lines) {
    const size_t range = RangeOf(table, line.offset);
    if (range != current && !pairs.empty()) {
      AppendLineSection(out, current < table.ranges.size() ? table.ranges[current].unit : "none",
                        pairs);
      pairs.clear();
    }
    current = range;
    pairs.push_back(
        Format("%6d 0001:%08X", static_cast<int>(line.line), static_cast<unsigned>(line.offset)));
  }
  if (!pairs.empty()) {
    AppendLineSection(out, current < table.ranges.size() ? table.ranges[current].unit : "none",
                      pairs);
  }
}

}  // namespace

std::string WriteMapText(const SymbolTable& table) {
  std::string out;
  AppendLine(out, "");
  AppendLine(out, " Start         Length     Name                   Class");
  AppendLine(out, Format(" 0001:00000000 %08XH .text                   CODE",
                         static_cast<unsigned>(CodeLength(table))));
  AppendLine(out, "");
  AppendLine(out, "");
  AppendSegments(out, table);
  AppendPublics(out, table);
  AppendLines(out, table);
  if (table.entry_point) {
    AppendLine(out, "");
    AppendLine(
        out, Format("Program entry point at 0001:%08X", static_cast<unsigned>(*table.entry_point)));
  }
  return out;
}

}  // namespace trace
