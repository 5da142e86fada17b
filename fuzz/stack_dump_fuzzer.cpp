// Fuzzes the stack dump reader with the input as dump text: it ends with a dump or an error
// naming a line; a dump's runs are sorted, apart and within the cap, and what the writer
// makes of it reads back the same. A small dump is then traced over a module of a few calls
// in the replayed address space: the trace ends.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/stack/replay_address_space.h"
#include "trace/stack/stack_dump.h"
#include "trace/stack/stack_trace.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

namespace {

constexpr uint32_t kBase = 0x00400000;
constexpr uint32_t kMaxTracedBytes = 64u << 10;

void PutDword(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A PE file of one code section at 0x1000: eight functions 32 bytes apart, each calling the
// next, the last reading through EAX.
std::vector<uint8_t> ChainModule() {
  std::vector<uint8_t> file(0x2000, 0xCC);
  std::fill(file.begin(), file.begin() + 0x400, 0);
  file[0] = 'M';
  file[1] = 'Z';
  PutDword(file, 0x3C, 0x80);
  PutDword(file, 0x80, 0x4550);
  PutDword(file, 0x84, 0x0001014C);  // i386, one section
  PutDword(file, 0x94, 0x010F00E0);  // optional header size, characteristics
  const size_t opt = 0x98;
  PutDword(file, opt, 0x10B);
  PutDword(file, opt + 4, 0x1000);   // SizeOfCode
  PutDword(file, opt + 16, 0x1000);  // AddressOfEntryPoint
  PutDword(file, opt + 20, 0x1000);  // BaseOfCode
  PutDword(file, opt + 24, 0x2000);  // BaseOfData
  PutDword(file, opt + 28, kBase);   // ImageBase
  PutDword(file, opt + 32, 0x1000);  // SectionAlignment
  PutDword(file, opt + 36, 0x200);   // FileAlignment
  PutDword(file, opt + 56, 0x2000);  // SizeOfImage
  PutDword(file, opt + 60, 0x400);   // SizeOfHeaders
  PutDword(file, opt + 92, 16);      // directories
  const size_t section = opt + 0xE0;
  file[section] = '.';
  file[section + 1] = 't';
  PutDword(file, section + 8, 0x1000);       // VirtualSize
  PutDword(file, section + 12, 0x1000);      // VirtualAddress
  PutDword(file, section + 16, 0x1000);      // SizeOfRawData
  PutDword(file, section + 20, 0x1000);      // PointerToRawData
  PutDword(file, section + 36, 0x60000020);  // code, execute, read
  for (uint32_t i = 0; i < 8; ++i) {
    const size_t at = 0x1000 + 32 * i;
    if (i < 7) {
      file[at] = 0xE8;
      PutDword(file, at + 1, 32 - 5);
      file[at + 5] = 0xC3;
    } else {
      file[at] = 0x8B;
      file[at + 1] = 0x00;
      file[at + 2] = 0xC3;
    }
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto dump = trace::ParseStackDump(text, error);
  if (!dump) {
    CHECK(!error.empty());
    return 0;
  }
  uint64_t total = 0;
  for (size_t i = 0; i < dump->blocks.size(); ++i) {
    const trace::StackDumpBlock& block = dump->blocks[i];
    CHECK(!block.bytes.empty() && block.bytes.size() % 4 == 0);
    CHECK(uint64_t{block.base} + block.bytes.size() < 0x100000000ull);
    if (i > 0) {
      const trace::StackDumpBlock& previous = dump->blocks[i - 1];
      CHECK(uint64_t{previous.base} + previous.bytes.size() < block.base);
    }
    total += block.bytes.size();
  }
  CHECK(total <= trace::kMaxStackDumpBytes);
  CHECK(dump->request.stack_begin < dump->request.stack_end);

  const std::string written = trace::FormatStackDump(*dump);
  const auto again = trace::ParseStackDump(written, error);
  CHECK(again);
  CHECK(again->blocks.size() == dump->blocks.size());
  for (size_t i = 0; i < dump->blocks.size(); ++i) {
    CHECK(again->blocks[i].base == dump->blocks[i].base);
    CHECK(again->blocks[i].bytes == dump->blocks[i].bytes);
  }
  CHECK(again->request.current_address == dump->request.current_address);
  CHECK(again->request.thread_start == dump->request.thread_start);
  CHECK(again->request.stack_begin == dump->request.stack_begin);
  CHECK(again->request.stack_end == dump->request.stack_end);
  CHECK(again->request.exception_thread == dump->request.exception_thread);
  CHECK(again->request.external_exception == dump->request.external_exception);

  if (total > kMaxTracedBytes) return 0;
  static const std::vector<uint8_t> module = ChainModule();
  trace::ReplayAddressSpace space;
  CHECK(space.AddModuleBytes(module, "C:\\app\\chain.exe", std::nullopt, error));
  for (const trace::StackDumpBlock& block : dump->blocks) {
    if (!space.AddMemory(block.base, block.bytes, error)) return 0;  // over the module
  }
  trace::TraceState state(space, space.Symbols(), kBase, false, nullptr);
  const std::string trace = trace::StackTrace(state, dump->request);
  CHECK(trace.size() < (1u << 24));
  return 0;
}
