#include "trace/symbols/map_file_publics.h"

#include "trace/pe/export_name.h"
#include "trace/text/ansi_text.h"

namespace trace {

SplitName SplitPublicName(std::string_view raw) {
  std::string readable = DemangleExportName(raw);
  if (raw.empty() || raw[0] != '@') return {{}, std::move(readable)};
  std::string text(raw);
  ReplaceAll(text, "::", ".", false, false);
  const size_t second = text.find('@', 1);
  if (second == std::string::npos) return {{}, std::move(readable)};
  std::string unit = text.substr(1, second - 1);
  // The demangled form is the unit, ".", and the readable rest.
  std::string name = readable.size() > unit.size() ? readable.substr(unit.size() + 1) : "";
  return {std::move(unit), std::move(name)};
}

bool IsSkippedPublicName(std::string_view raw) {
  return raw.size() >= 6 && raw.substr(0, 3) == "@$x" && raw[4] == '$';
}

void AddPublic(TMapFile& map, bool code, std::string_view raw, uint32_t address,
               PublicSource source) {
  if (IsSkippedPublicName(raw)) return;
  SplitName split = SplitPublicName(raw);
  // A mangled name with nothing readable after its unit ("@@$q") keeps its raw form.
  if (split.name.empty()) split.name = std::string(raw);

  const std::vector<TMfSegment>& segments = map.segments();
  if (source == PublicSource::kTd32 && map.last_added_segment() < segments.size()) {
    TMfSegment& current = map.mutable_segments()[map.last_added_segment()];
    if ((current.code != 0) == code && uint64_t{current.start} + current.length < address) {
      current.length = address - current.start;
    }
  }

  const size_t index = map.SegmentIndexOf(code, address);
  const bool inside = index < segments.size();
  std::string name = std::move(split.name);
  if (inside) {
    const TMfSegment& segment = segments[index];
    if (name == segment.unit_name) {
      name = "initialization";
    } else if (!split.unit.empty() && !TextEquals(split.unit, segment.unit_name)) {
      name = split.unit + "." + name;
    }
  } else {
    if (source == PublicSource::kTd32) {
      const bool differs = map.last_added_segment() >= segments.size() ||
                           !TextEquals(split.unit, segments[map.last_added_segment()].unit_name);
      if (segments.empty() || differs) map.AddSegment(code, address, 0, split.unit);
    }
    if (!split.unit.empty()) name = split.unit + "." + name;
  }
  map.AppendPublic(code, std::move(name), address);
}

}  // namespace trace
