// Fuzz target of the process-information answer: the first 4 bytes choose the process id,
// the rest is the answer. The walk ends, and every id it gives lies inside the answer at a
// thread record position of the chosen layout.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "crash/process_thread_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t pid = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
                       uint32_t{data[3]} << 24;
  const std::span<const uint8_t> answer(data + 4, size - 4);
  for (const auto layout :
       {crash::ProcessRecordLayout::kNt4, crash::ProcessRecordLayout::kWin2000}) {
    const auto ids = crash::ProcessThreadIds(answer, pid, layout);
    const size_t first = layout == crash::ProcessRecordLayout::kWin2000 ? 220 : 172;
    // Each id needs 4 bytes of its own, 64 apart, after the first id's place.
    if (!ids.empty() && first + 64 * (ids.size() - 1) + 4 > answer.size()) std::abort();
  }
  return 0;
}
