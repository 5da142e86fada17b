#include "crash/process_thread_list.h"

namespace crash {

namespace {

constexpr uint64_t kThreadCountOffset = 4;
constexpr uint64_t kProcessIdOffset = 68;
constexpr uint64_t kThreadRecordSize = 64;

uint32_t Get32(std::span<const uint8_t> bytes, uint64_t offset) {
  return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 |
         uint32_t{bytes[offset + 2]} << 16 | uint32_t{bytes[offset + 3]} << 24;
}

}  // namespace

ProcessRecordLayout ProcessRecordLayoutForNtKind(int nt_kind) {
  return nt_kind > 8 ? ProcessRecordLayout::kWin2000 : ProcessRecordLayout::kNt4;
}

std::vector<uint32_t> ProcessThreadIds(std::span<const uint8_t> answer, uint32_t process_id,
                                       ProcessRecordLayout layout) {
  std::vector<uint32_t> ids;
  const uint64_t first_id = layout == ProcessRecordLayout::kWin2000 ? 220 : 172;
  const uint64_t size = answer.size();
  uint64_t record = 0;
  // Offsets are unsigned and non-zero, so every step moves forward and the walk ends.
  while (record + kProcessIdOffset + 4 <= size) {
    const uint32_t next = Get32(answer, record);
    // The last record, or one whose successor would lie past the answer, runs to its end.
    const bool last = next == 0 || record + next > size;
    const uint64_t end = last ? size : record + next;
    if (Get32(answer, record + kProcessIdOffset) == process_id) {
      const uint64_t count = Get32(answer, record + kThreadCountOffset);
      for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = record + first_id + kThreadRecordSize * i;
        if (at + 4 > end) break;
        ids.push_back(Get32(answer, at));
      }
      break;
    }
    if (last) break;
    record = end;
  }
  return ids;
}

}  // namespace crash
