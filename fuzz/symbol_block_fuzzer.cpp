// Feeds arbitrary bytes to the symbol block reader, both as a whole block and as an already
// opened payload. It must never crash, never take more entries than the bytes can hold, and
// the answers by address must stay consistent with the arrays.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "trace/symbols/symbol_block_reader.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

void Query(const trace::TMapFile& map, std::string_view data) {
  for (size_t i = 0; i + 4 <= data.size() && i < 64; i += 4) {
    const uint32_t address = 0x401000u + (static_cast<uint8_t>(data[i]) << 8 | i);
    const trace::TMfPublic found = map.PublicAt(address);
    if (found.valid) Check(found.address <= address, "a public starts at or below its address");
    map.LineAt(address);
    map.SegmentAt(address);
    map.ExactName(address);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  trace::TMapFile block;
  block.SetRanges(0x401000, 0x500000, 0x600000, 0x700000);
  const bool is_block = trace::ReadSymbolBlock(bytes, block);
  Check(is_block == block.valid(), "a block with a correct header is valid");
  Query(block, bytes);

  trace::TMapFile payload;
  payload.SetRanges(0x401000, 0x500000, 0x600000, 0x700000);
  payload.set_valid(true);
  trace::ReadSymbolPayload(bytes, payload);
  Check(payload.segments().size() <= size / 9, "segments fit the bytes");
  Check(payload.publics().size() <= size / 2, "publics fit the bytes");
  Check(payload.lines().size() <= size / 2, "lines fit the bytes");
  Query(payload, bytes);
  return 0;
}
