// Feeds arbitrary text to the map text reader. It must never crash, keep the segments
// sorted by kind and start and the lines rising, and answer queries within the arrays.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "trace/symbols/map_text_reader.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  trace::TMapFile map;
  map.SetRanges(0x401000, 0x500000, 0x600000, 0x700000);
  trace::ReadMapText(text, map);
  Check(map.valid(), "map text is always valid");
  const auto& segments = map.segments();
  for (size_t i = 1; i < segments.size(); ++i) {
    const bool ordered =
        segments[i - 1].code > segments[i].code ||
        (segments[i - 1].code == segments[i].code && segments[i - 1].start <= segments[i].start);
    Check(ordered, "segments sorted by kind and start");
  }
  for (size_t i = 1; i < map.lines().size(); ++i) {
    Check(map.lines()[i - 1].address < map.lines()[i].address, "lines rise");
  }
  for (const auto& segment : segments) {
    map.SegmentAt(segment.start);
    map.LineAt(segment.start);
    map.FindPublic(segment.code != 0, segment.unit_name, false, "x");
  }
  for (const auto& item : map.publics()) {
    Check(!item.name.empty(), "publics have names");
    map.PublicAt(item.address);
  }
  return 0;
}
