// Feeds arbitrary bytes to the TD32 reader, as TD32 data and as a file that may hold it. It
// must never crash, and afterwards publics and lines are sorted and neighbouring segments of
// one kind do not overlap.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "trace/symbols/td32_reader.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

void ReadAndCheck(std::string_view data) {
  trace::TMapFile map;
  map.SetRanges(0x401000, 0x500000, 0x600000, 0x700000);
  if (!trace::ReadTd32(data, map)) {
    Check(!map.valid() && map.segments().empty(), "no signature, no data");
    return;
  }
  for (size_t i = 1; i < map.publics().size(); ++i) {
    Check(map.publics()[i - 1].address <= map.publics()[i].address, "publics sorted");
  }
  for (size_t i = 1; i < map.lines().size(); ++i) {
    Check(map.lines()[i - 1].address <= map.lines()[i].address, "lines sorted");
  }
  const auto& segments = map.segments();
  for (size_t i = 1; i < segments.size(); ++i) {
    if (segments[i - 1].code != segments[i].code) continue;
    Check(uint64_t{segments[i - 1].start} + segments[i - 1].length <= segments[i].start,
          "segments of one kind do not overlap");
  }
  for (const auto& item : map.publics()) {
    map.SegmentAt(item.address);
    map.LineAt(item.address);
    map.ExactName(item.address);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ReadAndCheck(bytes);
  if (const auto inside = trace::Td32InFile(bytes)) ReadAndCheck(*inside);
  return 0;
}
