// Fuzzes ParseFunction and the function listing over garbage: parsing terminates with a
// bounded number of areas, areas lie in readable memory, and the listing never faults.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/x86/fake_address_space.h"
#include "trace/x86/x86_function.h"
#include "trace/x86/x86_listing.h"

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kAt = 0x00401000;
  if (size < 2) return 0;
  const uint8_t options = data[0];
  trace::testing::FakeAddressSpace memory;
  memory.AddModule(0x00400000, 0x10000, "C:\\app\\app.exe", true);
  memory.Add(kAt, std::vector<uint8_t>(data + 1, data + size));

  trace::TFunctionInfo info;
  const bool valid = trace::ParseFunction(memory, kAt, info);
  CHECK(valid == info.valid);
  CHECK(info.code_areas.size() <= trace::kMaxCodeAreas);
  CHECK(!info.code_areas.empty());
  if (valid) {
    for (const trace::TCodeArea& area : info.code_areas) {
      CHECK(area.end >= area.begin);
      uint8_t byte;
      CHECK(memory.Read(area.begin, &byte, 1) && memory.Read(area.end, &byte, 1));
    }
    CHECK(info.code_length >= 1);
    CHECK(info.size_estimate >= static_cast<int>(info.code_length) + 4);
  } else {
    CHECK(info.last_error == trace::kInvalidCodeError);
  }
  for (size_t i = 0; i < info.known_calls.size(); ++i) {
    for (size_t j = i + 1; j < info.known_calls.size(); ++j)
      CHECK(info.known_calls[i].next != info.known_calls[j].next);
  }

  const uint32_t exception = kAt + (options >> 2) % static_cast<uint32_t>(size);
  const std::string text = trace::DisassembleFunction(memory, kAt, exception, info,
                                                      (options & 1) != 0, (options & 2) ? 8 : 0);
  CHECK(text.size() < 2 || text.substr(text.size() - 2) != "\r\n");
  return 0;
}
