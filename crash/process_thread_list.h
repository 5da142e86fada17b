// The thread ids of one process from the system's process-information answer (information
// class 5): a chain of process records, each starting with the offset of the next one
// (0 ends the chain), its thread count at byte 4 and its process id at byte 68, followed
// by one 64-byte record per thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace crash {

// Where a process record's thread records start, with the thread id 36 bytes into each.
enum class ProcessRecordLayout {
  kNt4,      // thread i's id at 172 + 64 i
  kWin2000,  // Windows 2000 and later: thread i's id at 220 + 64 i
};

// The layout for the NT kind of the operating system record (above 8: Windows 2000 on).
ProcessRecordLayout ProcessRecordLayoutForNtKind(int nt_kind);

// The ids of the threads of process_id, in the answer's order. Every read is bounded by the
// answer and by the record's own extent (up to the next record, or the answer's end); a
// record that would begin past the end, or an offset that leaves the answer, ends the chain.
std::vector<uint32_t> ProcessThreadIds(std::span<const uint8_t> answer, uint32_t process_id,
                                       ProcessRecordLayout layout);

}  // namespace crash
