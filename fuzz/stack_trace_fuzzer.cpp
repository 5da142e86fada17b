// Fuzzes the stack tracer over an address space made of the input: a module whose code (and,
// when asked, headers) come from the input, symbol data with publics and lines placed by the
// input, and a stack whose dwords are the input's, many of them turned into addresses inside
// the module so that they pass the first tests. Every trace ends, never reads outside what
// is mapped, and gives either text whose lines have the report's shape or one of the
// internal-error texts.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/stack/synthetic_module.h"
#include "trace/stack/stack_trace.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

namespace {

constexpr uint32_t kBase = 0x00400000;
constexpr uint32_t kCodeStart = kBase + 0x1000;
constexpr uint32_t kCodeSize = 0x1000;
// The input's code fills the start of the code range; the rest is no code.
constexpr uint32_t kInputCodeSize = 0x400;
constexpr uint32_t kStackBase = 0x00100000;
constexpr size_t kHeaderBytes = 16;
constexpr size_t kMaxStackDwords = 1024;

// Reads the input front to back; past its end every byte is 0.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t Dword() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }
  size_t left() const { return at_ < size_ ? size_ - at_ : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  Input in(data, size);
  const uint8_t flags = in.Byte();
  const uint8_t code_share = in.Byte();  // how much of the rest is code
  const uint8_t symbol_step = in.Byte();
  const uint8_t address_share = in.Byte();  // how many stack dwords point into the code
  const uint32_t current = in.Dword();
  const uint32_t thread_start = in.Dword();
  const uint32_t seed = in.Dword();

  trace::testing::FakeAddressSpace memory;
  trace::testing::SyntheticModule module;
  module.entry_point = 0x1000;
  // Past the input's code the bytes are FF FF (no instruction), so that walking and parsing
  // junk end soon.
  std::fill(module.image.begin() + 0x1000, module.image.end(), 0xFF);
  const size_t code_bytes = std::min<size_t>(in.left() * code_share / 256, kInputCodeSize);
  for (size_t i = 0; i < code_bytes; ++i)
    module.image[0x1000 + i] = in.Byte();
  if (flags & 0x80) {
    // Headers that lie: a section and code range from the input.
    module.section_size = in.Dword() & 0xFFFFF;
    module.code_base = in.Dword() & 0xFFFFF;
    module.code_size = in.Dword() & 0xFFFFF;
    module.entry_point = in.Dword() & 0x3FFF;
  }
  module.AddTo(memory, "C:\\app\\app.exe");

  auto map = std::make_shared<trace::TMapFile>();
  map->SetModule(kBase, "C:\\app\\app.exe");
  map->SetRanges(kCodeStart, kCodeStart + kCodeSize, kBase + 0x2000, kBase + 0x2A00);
  map->set_valid(true);
  map->AddSegment(true, kCodeStart, kCodeSize / 2, "first.cpp");
  map->AddSegment(true, kCodeStart + kCodeSize / 2, kCodeSize / 2, "second.cpp");
  if (symbol_step != 0) {
    const uint32_t step = 16 + symbol_step * 4u;
    int line = 1;
    for (uint32_t at = kCodeStart; at < kCodeStart + kInputCodeSize; at += step) {
      map->AppendPublic(true, "F" + std::to_string(at), at);
      map->AppendLine(line++, at);
      map->AppendLine(line++, at + step / 2);
    }
  }

  // The stack: the remaining input as dwords, about address_share / 256 of them moved into
  // the code (by a fixed generator, so an input replays alike).
  std::vector<uint8_t> stack;
  uint32_t random = seed | 1;
  while (in.left() >= 4 && stack.size() < 4 * kMaxStackDwords) {
    uint32_t value = in.Dword();
    random = random * 1103515245u + 12345u;
    if ((random >> 24) < address_share) value = kCodeStart + value % kInputCodeSize;
    for (int b = 0; b < 4; ++b)
      stack.push_back(static_cast<uint8_t>(value >> (8 * b)));
  }
  if (!stack.empty()) memory.Add(kStackBase, stack);

  trace::TraceState state(
      memory,
      [&](uint32_t, const std::string&) {
        return (flags & 0x40) ? nullptr : std::shared_ptr<const trace::TMapFile>(map);
      },
      (flags & 0x20) ? kBase : 0, (flags & 0x10) != 0, nullptr);
  trace::TStackTraceRequest request;
  request.hide_items_without_lines = flags & 1;
  request.relative_addresses = flags & 2;
  request.exception_thread = flags & 4;
  request.external_exception = flags & 8;
  request.current_address = kCodeStart + current % (kInputCodeSize + 0x40) - 0x20;
  request.thread_start = (thread_start & 1) ? kCodeStart + thread_start % kInputCodeSize : 0;
  request.stack_begin = kStackBase;
  request.stack_end = kStackBase + static_cast<uint32_t>(stack.size());

  for (int round = 0; round < 2; ++round) {
    const trace::TStackTraceRun run = trace::RunStackTrace(state, request);
    if (run.text.rfind("Internal error in kivStackTrace.", 0) == 0) continue;
    // Every line starts with an address of eight lower-case hex digits and a blank.
    for (size_t at = 0; at < run.text.size();) {
      CHECK(at + 9 <= run.text.size());
      for (size_t i = 0; i < 8; ++i) {
        const char c = run.text[at + i];
        CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
      }
      CHECK(run.text[at + 8] == ' ');
      const size_t end = run.text.find("\r\n", at);
      if (end == std::string::npos) break;
      at = end + 2;
    }
    for (const trace::TStackItem& item : run.items) {
      CHECK(item.module_index >= -1 &&
            item.module_index < static_cast<int>(state.modules().modules().size()));
      for (const trace::TStackLinkList& list : item.links) {
        CHECK(list.best >= -1 && list.best < static_cast<int>(list.links.size()));
        for (const trace::TStackLink& link : list.links)
          CHECK(link.other >= -1 && link.other < static_cast<int>(run.items.size()));
      }
    }
  }
  return 0;
}
