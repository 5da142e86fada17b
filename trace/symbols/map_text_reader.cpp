#include "trace/symbols/map_text_reader.h"

#include <optional>

#include "trace/symbols/map_file_publics.h"
#include "trace/text/number_text.h"

namespace trace {
namespace {

enum class Section { kNone, kSegments, kPublics, kLines };

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of the count hexadecimal digits at offset; none when the line is shorter or a
// character is no hexadecimal digit.
std::optional<uint32_t> HexAt(std::string_view line, size_t offset, size_t count) {
  if (offset > line.size() || line.size() - offset < count) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = offset; i < offset + count; ++i) {
    if (!IsHexDigit(line[i])) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(DigitValue(line[i]));
  }
  return value;
}

// A decimal number with an optional sign that fits 32 bits; none otherwise.
std::optional<int32_t> DecimalOf(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 10) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

// The segment kind of a segment number: 1 code, 2 data, none for others.
std::optional<bool> KindOf(std::optional<uint32_t> segment) {
  if (segment == 1u) return true;
  if (segment == 2u) return false;
  return std::nullopt;
}

void ReadSegmentLine(std::string_view line, TMapFile& map) {
  if (line.size() <= 72 || line[4] != ':' || line[13] != ' ' || line[22] != ' ' ||
      line.substr(23, 2) != "C=") {
    return;
  }
  const std::optional<bool> code = KindOf(HexAt(line, 0, 4));
  const std::optional<uint32_t> start = HexAt(line, 5, 8);
  const std::optional<uint32_t> length = HexAt(line, 14, 8);
  if (!code || !start || !length) return;

  std::string_view unit = line.substr(0, line.rfind(' '));
  while (!unit.empty() && unit.back() == ' ')
    unit.remove_suffix(1);
  const size_t mark = unit.find_last_of("=\\|");
  if (mark != std::string_view::npos) unit.remove_prefix(mark + 1);
  const size_t dot = unit.rfind('.');
  if (dot != std::string_view::npos) unit = unit.substr(0, dot);
  map.AddSegment(*code, map.Absolute(*code, *start), *length, std::string(unit));
}

void ReadPublicLine(std::string_view line, TMapFile& map) {
  if (line.size() <= 13 || line[4] != ':') return;
  size_t end = line.size();
  if (line.back() == ')') {
    const size_t open = line.rfind('(');
    if (open != std::string_view::npos && open >= 13) end = open;
  }
  const size_t blank = line.substr(0, end).rfind(' ');
  if (blank == std::string_view::npos || blank < 13) return;
  const std::string_view name = line.substr(blank + 1, end - blank - 1);
  const std::optional<bool> code = KindOf(HexAt(line, 0, 4));
  const std::optional<uint32_t> offset = HexAt(line, 5, 8);
  if (!code || name.empty() || !offset) return;
  AddPublic(map, *code, name, map.Absolute(*code, *offset), PublicSource::kMapText);
}

void ReadLinePairs(std::string_view line, TMapFile& map) {
  size_t position = 0;
  while (true) {
    while (position < line.size() && line[position] == ' ')
      ++position;
    const size_t colon = line.find(':', position);
    if (colon == std::string_view::npos || colon < position + 5 || line[colon - 5] != ' ' ||
        line.size() - colon - 1 < 8) {
      return;
    }
    const std::optional<int32_t> number = DecimalOf(line.substr(position, colon - 5 - position));
    const std::optional<uint32_t> segment = HexAt(line, colon - 4, 4);
    const std::optional<uint32_t> offset = HexAt(line, colon + 1, 8);
    if (!number || segment != 1u || !offset) return;
    const uint32_t address = map.Absolute(true, *offset);
    if (map.lines().empty() || address > map.lines().back().address) {
      map.AppendLine(*number, address);
    }
    position = colon + 9;
  }
}

void ReadEntryPoint(std::string_view line, TMapFile& map) {
  if (line.size() <= 34 || line[27] != ':') return;
  if (const std::optional<uint32_t> offset = HexAt(line, 28, 8)) {
    map.set_entry_point(map.Absolute(true, *offset));
  }
}

// The next line of text from position on, without leading blanks and its line end.
std::string_view NextLine(std::string_view text, size_t& position) {
  const size_t end = std::min(text.find('\n', position), text.size());
  std::string_view line = text.substr(position, end - position);
  position = end < text.size() ? end + 1 : end;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t first = line.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : line.substr(first);
}

}  // namespace

void ReadMapText(std::string_view text, TMapFile& map) {
  map.set_valid(true);
  Section section = Section::kNone;
  bool in_entries = false;  // past the blank lines that follow the heading
  size_t position = 0;
  while (position < text.size()) {
    const std::string_view line = NextLine(text, position);
    if (section != Section::kNone) {
      if (line.empty()) {
        if (in_entries) section = Section::kNone;
        continue;
      }
      in_entries = true;
      if (section == Section::kSegments) ReadSegmentLine(line, map);
      if (section == Section::kPublics) ReadPublicLine(line, map);
      if (section == Section::kLines) ReadLinePairs(line, map);
      continue;
    }
    in_entries = false;
    if (line.find("Detailed map of segments") != std::string_view::npos) {
      section = Section::kSegments;
    } else if (line.find("Publics by Value") != std::string_view::npos) {
      section = Section::kPublics;
    } else if (const size_t heading = line.find("Line numbers for ");
               heading != std::string_view::npos) {
      const size_t open = line.find('(', 17);
      if (open != std::string_view::npos && line.find(')', open + 1) != std::string_view::npos) {
        section = Section::kLines;
      }
    } else if (line.find("Program entry point at ") != std::string_view::npos) {
      ReadEntryPoint(line, map);
    }
  }
}

}  // namespace trace
