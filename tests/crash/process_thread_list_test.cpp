#include "crash/process_thread_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using crash::ProcessRecordLayout;

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Appends a process record with its thread records and returns its offset.
size_t AddProcess(std::vector<uint8_t>& answer, uint32_t pid, std::vector<uint32_t> threads,
                  ProcessRecordLayout layout) {
  const size_t header = layout == ProcessRecordLayout::kWin2000 ? 184 : 136;
  const size_t at = answer.size();
  answer.resize(at + header + 64 * threads.size());
  Put32(answer, at + 4, static_cast<uint32_t>(threads.size()));
  Put32(answer, at + 68, pid);
  for (size_t i = 0; i < threads.size(); ++i) {
    Put32(answer, at + header + 64 * i + 32, pid);  // the client id's process
    Put32(answer, at + header + 64 * i + 36, threads[i]);
  }
  return at;
}

void Link(std::vector<uint8_t>& answer, size_t from, size_t to) {
  Put32(answer, from, static_cast<uint32_t>(to - from));
}

TEST(ProcessThreadList, FindsTheProcessInTheChainInBothLayouts) {
  for (const auto layout : {ProcessRecordLayout::kNt4, ProcessRecordLayout::kWin2000}) {
    std::vector<uint8_t> answer;
    const size_t a = AddProcess(answer, 4, {8, 12}, layout);
    const size_t b = AddProcess(answer, 0x1234, {0x20, 0x24, 0x28}, layout);
    const size_t c = AddProcess(answer, 0x99, {0x30}, layout);
    Link(answer, a, b);
    Link(answer, b, c);
    EXPECT_EQ(crash::ProcessThreadIds(answer, 0x1234, layout),
              (std::vector<uint32_t>{0x20, 0x24, 0x28}));
    EXPECT_EQ(crash::ProcessThreadIds(answer, 0x99, layout), (std::vector<uint32_t>{0x30}));
    EXPECT_TRUE(crash::ProcessThreadIds(answer, 0x55, layout).empty());
  }
  EXPECT_EQ(crash::ProcessRecordLayoutForNtKind(8), ProcessRecordLayout::kNt4);
  EXPECT_EQ(crash::ProcessRecordLayoutForNtKind(9), ProcessRecordLayout::kWin2000);
}

TEST(ProcessThreadList, HostileAnswersEndCleanly) {
  const auto layout = ProcessRecordLayout::kWin2000;
  std::vector<uint8_t> answer;
  const size_t a = AddProcess(answer, 4, {8}, layout);
  const size_t b = AddProcess(answer, 7, {0x40, 0x44}, layout);
  Link(answer, a, b);

  // A thread count far beyond the record: only the ids inside it.
  std::vector<uint8_t> counted = answer;
  Put32(counted, b + 4, 0xFFFFFFFF);
  EXPECT_EQ(crash::ProcessThreadIds(counted, 7, layout), (std::vector<uint32_t>{0x40, 0x44}));
  // Cut inside the second thread record: the first id only.
  std::vector<uint8_t> cut(answer.begin(), answer.begin() + b + 220 + 64 + 2);
  EXPECT_EQ(crash::ProcessThreadIds(cut, 7, layout), (std::vector<uint32_t>{0x40}));
  // A next offset past the end: that record is the last.
  std::vector<uint8_t> beyond = answer;
  Put32(beyond, a, 0x7FFFFFF0);
  EXPECT_EQ(crash::ProcessThreadIds(beyond, 4, layout), (std::vector<uint32_t>{8}));
  EXPECT_TRUE(crash::ProcessThreadIds(beyond, 7, layout).empty());
  // An offset that wraps a 32-bit position, a record too short for its process id, nothing.
  std::vector<uint8_t> wrap = answer;
  Put32(wrap, a, 0xFFFFFFFF);
  EXPECT_TRUE(crash::ProcessThreadIds(wrap, 7, layout).empty());
  std::vector<uint8_t> tiny(71, 0);
  EXPECT_TRUE(crash::ProcessThreadIds(tiny, 0, layout).empty());
  EXPECT_TRUE(crash::ProcessThreadIds({}, 0, layout).empty());
  // The record of one process bounded by its successor: its count can't reach into it.
  std::vector<uint8_t> overlapping = answer;
  Put32(overlapping, a + 4, 3);
  EXPECT_EQ(crash::ProcessThreadIds(overlapping, 4, layout), (std::vector<uint32_t>{8}));
}

}  // namespace
