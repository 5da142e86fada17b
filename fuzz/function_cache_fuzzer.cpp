// Fuzzes the stack tracer's module list and function cache over a module image made of the
// input, headers included (so they may lie): every look-up and test ends, indexes stay in
// range, a function looked up twice is the same entry, and nothing reads outside the image.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/x86/fake_address_space.h"
#include "trace/stack/call_before.h"
#include "trace/stack/function_cache.h"
#include "trace/stack/module_list.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

namespace {

constexpr uint32_t kBase = 0x00400000;
constexpr uint32_t kImageSize = 0x4000;

uint32_t DwordAt(const uint8_t* data, size_t size, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && at + i < size; ++i)
    value |= static_cast<uint32_t>(data[at + i]) << (8 * i);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  // The first 16 bytes choose what to ask; the rest is the image from its first byte.
  std::vector<uint8_t> image(data + 16, data + size);
  image.resize(kImageSize, 0xC3);
  trace::testing::FakeAddressSpace memory;
  memory.AddModule(kBase, kImageSize, "C:\\app\\app.exe", true);
  memory.Add(kBase, image);

  trace::ModuleList modules(memory, nullptr);
  trace::FunctionCache cache(memory, modules);
  const int module = modules.Register(kBase);
  CHECK(module == -1 || module == modules.Register(kBase));

  for (int round = 0; round < 3; ++round) {
    const uint32_t address = kBase + DwordAt(data, size, 4 * round) % kImageSize;
    const uint8_t flags = data[12 + round];
    (void)trace::CallsBefore(memory, address);
    const int index = cache.FindFunction(address, {}, -1, (flags & 1) != 0, (flags & 2) != 0);
    CHECK(index >= -1 && index < static_cast<int>(cache.functions().size()));
    if (index < 0) continue;
    CHECK(cache.FindFunction(address, {}, -1, false, true) == index);
    CHECK(cache.functions()[index].approved);
    uint32_t point = address + (flags >> 4);
    trace::TReturnCall call;
    (void)cache.IsReturnPoint(index, (flags & 4) ? address : 0, point, call, (flags & 8) != 0);
    (void)cache.InCodeArea(index, point);
    if (module >= 0) {
      const int nearest = cache.NearestFunctionStart(module, address);
      CHECK(nearest >= -1 && nearest < static_cast<int>(cache.functions().size()));
    }
  }
  return 0;
}
