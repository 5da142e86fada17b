#include "trace/stack/function_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/stack/synthetic_module.h"
#include "trace/pe/pe_file_view.h"
#include "trace/pe/pe_image.h"

namespace trace {
namespace {

// app.exe at 400000 (entry point 401000) with these functions:
//   401000 call 401100; call eax; ret
//   401100 ret                       (named by export or symbol data)
//   401200 jmp 500000                (leaves the module)
// and, outside every module, 500000 nop; jmp 600000 and 600000 nop; jmp 500000 (a cycle of
// jumps; the nops keep the parser from reading them as jump stubs).
struct Fixture {
  testing::FakeAddressSpace memory;
  std::shared_ptr<TMapFile> map;
  ModuleList modules{memory, [this](uint32_t, const std::string&) { return map; }};
  FunctionCache cache{memory, modules};

  explicit Fixture(std::shared_ptr<TMapFile> symbols = nullptr) : map(std::move(symbols)) {
    testing::SyntheticModule module;
    module.entry_point = 0x1000;
    module.Put(0x1000, {0xE8, 0xFB, 0x00, 0x00, 0x00, 0xFF, 0xD0, 0xC3});
    module.Put(0x1100, {0xC3});
    module.Put(0x1200, {0xE9, 0xFB, 0xED, 0x0F, 0x00});
    module.AddTo(memory, "C:\\app\\app.exe");
    memory.Add(0x500000, {0x90, 0xE9, 0xFA, 0xFF, 0x0F, 0x00});
    memory.Add(0x600000, {0x90, 0xE9, 0xFA, 0xFF, 0xEF, 0xFF});
  }
};

TEST(FunctionCache, LooksUpOnceAndApprovesOnRequest) {
  Fixture f;
  const int index = f.cache.FindFunction(0x401000, {}, -1, false, false);
  ASSERT_GE(index, 0);
  EXPECT_EQ(f.cache.functions()[index].module_index, 0);
  EXPECT_EQ(f.cache.functions()[index].info.entry_point, 0x401000u);
  EXPECT_FALSE(f.cache.functions()[index].approved);
  EXPECT_EQ(f.cache.FindFunction(0x401000, {}, -1, false, true), index);
  EXPECT_TRUE(f.cache.functions()[index].approved);
  EXPECT_EQ(f.cache.functions().size(), 1u);
  EXPECT_EQ(f.cache.capacity(), 16u);
  EXPECT_EQ(f.cache.FindFunction(0, {}, -1, false, false), -1);
  EXPECT_EQ(f.cache.FindFunction(0x700000, {}, -1, false, false), -1);  // unreadable
}

TEST(FunctionCache, CodeAreasAndRejection) {
  Fixture f;
  const int index = f.cache.FindFunction(0x401000, {}, -1, false, false);
  ASSERT_GE(index, 0);
  EXPECT_FALSE(f.cache.InCodeArea(index, 0x401000));  // the begin itself is left out
  EXPECT_TRUE(f.cache.InCodeArea(index, 0x401005));
  EXPECT_TRUE(f.cache.InCodeArea(index, 0x401008));  // one past the last byte
  EXPECT_FALSE(f.cache.InCodeArea(index, 0x401009));
  f.cache.Reject(index);
  EXPECT_FALSE(f.cache.InCodeArea(index, 0x401005));
  EXPECT_EQ(f.cache.FindFunction(0x401000, {}, -1, false, true), index);
  EXPECT_TRUE(f.cache.functions()[index].rejected);
  EXPECT_FALSE(f.cache.InCodeArea(index, 0x401005));
  EXPECT_FALSE(f.cache.InCodeArea(-1, 0x401005));
  EXPECT_FALSE(f.cache.InCodeArea(7, 0x401005));
}

TEST(FunctionCache, ForceGivesAFunctionOfOnePoint) {
  Fixture f;
  const int index = f.cache.FindFunction(0x700000, "Lost", -1, true, false);
  ASSERT_GE(index, 0);
  const TFunctionInfo& info = f.cache.functions()[index].info;
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(info.entry_point, 0x700000u);
  EXPECT_EQ(info.code_length, 0u);
  EXPECT_TRUE(info.code_areas.empty());
  EXPECT_EQ(f.cache.functions()[index].name, "Lost");
  EXPECT_EQ(f.cache.functions()[index].module_index, -1);

  uint32_t x = 0x700000;
  TReturnCall call;
  EXPECT_TRUE(f.cache.IsReturnPoint(index, 0, x, call, true));
  x = 0x700001;
  EXPECT_FALSE(f.cache.IsReturnPoint(index, 0, x, call, true));
  EXPECT_FALSE(f.cache.InCodeArea(index, 0x700000));
}

TEST(FunctionCache, ReturnPointsBehindCalls) {
  Fixture f;
  const int index = f.cache.FindFunction(0x401000, {}, -1, false, false);
  ASSERT_GE(index, 0);
  TReturnCall call;
  uint32_t x = 0x401005;  // behind call 401100
  ASSERT_TRUE(f.cache.IsReturnPoint(index, 0, x, call, false));
  EXPECT_EQ(call.address, 0x401000u);
  EXPECT_EQ(call.target, 0x401100u);
  EXPECT_TRUE(call.target_known);
  x = 0x401007;  // behind call eax
  ASSERT_TRUE(f.cache.IsReturnPoint(index, 0, x, call, false));
  EXPECT_EQ(call.address, 0x401005u);
  EXPECT_FALSE(call.target_known);
  x = 0x401008;  // behind ret: no call
  EXPECT_FALSE(f.cache.IsReturnPoint(index, 0, x, call, false));
  EXPECT_EQ(call.address, 0u);

  // Certain addresses need only start an instruction of a code area.
  for (uint32_t start : {0x401005u, 0x401007u, 0x401008u}) {
    x = start;
    EXPECT_TRUE(f.cache.IsReturnPoint(index, 0, x, call, true)) << std::hex << start;
    EXPECT_EQ(x, start);
  }
  for (uint32_t inside : {0x401000u, 0x401002u, 0x401006u, 0x401009u}) {
    x = inside;
    EXPECT_FALSE(f.cache.IsReturnPoint(index, 0, x, call, true)) << std::hex << inside;
  }
}

TEST(FunctionCache, SoftwareExceptionsReturnBehindTheRaisingCall) {
  Fixture raising;
  raising.memory.AddExport(0x401100, "RaiseError");
  const int index = raising.cache.FindFunction(0x401000, {}, -1, false, false);
  TReturnCall call;
  uint32_t x = 0x401002;  // inside the call: moved to the exception address
  ASSERT_TRUE(raising.cache.IsReturnPoint(index, 0x401005, x, call, true));
  EXPECT_EQ(x, 0x401005u);
  EXPECT_EQ(call.address, 0x401000u);

  Fixture other;
  other.memory.AddExport(0x401100, "Sink");
  const int plain = other.cache.FindFunction(0x401000, {}, -1, false, false);
  x = 0x401002;
  EXPECT_FALSE(other.cache.IsReturnPoint(plain, 0x401005, x, call, true));
  EXPECT_EQ(x, 0x401002u);
}

TEST(FunctionCache, JumpsOutAreFollowedAndApprovedThroughCycles) {
  Fixture f;
  const int index = f.cache.FindFunction(0x401200, {}, -1, false, false);
  ASSERT_GE(index, 0);
  ASSERT_EQ(f.cache.functions().size(), 3u);
  const int first = f.cache.IndexOfEntry(0x500000);
  const int second = f.cache.IndexOfEntry(0x600000);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_FALSE(f.cache.functions()[first].approved);
  f.cache.Approve(index);
  EXPECT_TRUE(f.cache.functions()[index].approved);
  EXPECT_TRUE(f.cache.functions()[first].approved);
  EXPECT_TRUE(f.cache.functions()[second].approved);
  EXPECT_FALSE(f.cache.ApproveEntry(0x123456));

  Fixture g;
  g.cache.FindFunction(0x401200, {}, -1, false, true);
  for (const TCachedFunction& function : g.cache.functions())
    EXPECT_TRUE(function.approved);

  Fixture h;
  h.cache.FindFunction(0x500000, {}, -1, false, false);
  EXPECT_TRUE(h.cache.ApproveEntry(0x600000));
  EXPECT_TRUE(h.cache.functions()[h.cache.IndexOfEntry(0x500000)].approved);
}

TEST(FunctionCache, ChainsOfJumpsEndAtTheDepthBound) {
  testing::FakeAddressSpace memory;
  constexpr uint32_t kLinks = 100;
  for (uint32_t i = 0; i < kLinks; ++i) {
    const uint32_t at = 0x10000000 + i * 0x1000;
    const uint32_t rel = 0x1000 - 6;  // nop; jmp to the next link
    memory.Add(at, {0x90, 0xE9, static_cast<uint8_t>(rel), static_cast<uint8_t>(rel >> 8), 0, 0});
  }
  ModuleList modules(memory, nullptr);
  FunctionCache cache(memory, modules);
  ASSERT_EQ(cache.FindFunction(0x10000000, {}, -1, false, false), 0);
  EXPECT_EQ(cache.functions().size(), size_t{kMaxJumpDepth} + 1);
  EXPECT_EQ(cache.capacity(), 64u);
}

TEST(FunctionCache, NamesFromSymbolDataElseExports) {
  auto map = std::make_shared<TMapFile>();
  map->SetRanges(0x401000, 0x402000, 0x402000, 0x402A00);
  map->set_valid(true);
  map->AppendPublic(true, "Main.Start", 0x401000);
  map->AppendPublic(true, "Main.Sink", 0x401100);
  Fixture symbols(map);
  symbols.memory.AddExport(0x401100, "ExportedSink");
  EXPECT_EQ(symbols.cache.functions().size(), 0u);
  const int sink = symbols.cache.FindFunction(0x401100, {}, -1, false, false);
  EXPECT_EQ(symbols.cache.functions()[sink].name, "Main.Sink");
  const int given = symbols.cache.FindFunction(0x401000, "Given", -1, false, false);
  EXPECT_EQ(symbols.cache.functions()[given].name, "Given");

  Fixture exports;
  exports.memory.AddExport(0x401100, "ExportedSink");
  const int index = exports.cache.FindFunction(0x401100, {}, -1, false, false);
  EXPECT_EQ(exports.cache.functions()[index].name, "ExportedSink");
  EXPECT_EQ(
      exports.cache.functions()[exports.cache.FindFunction(0x500000, {}, -1, false, false)].name,
      "");
}

TEST(FunctionCache, NearestFunctionStartOfTheEntryPoint) {
  Fixture f;
  ASSERT_EQ(f.modules.Register(0x400000), 0);
  const int index = f.cache.NearestFunctionStart(0, 0x401050);
  ASSERT_GE(index, 0);
  EXPECT_EQ(f.cache.functions()[index].info.entry_point, 0x401000u);
  EXPECT_TRUE(f.cache.functions()[index].approved);
  EXPECT_EQ(f.cache.NearestFunctionStart(0, 0x401000), -1);  // nothing below
  EXPECT_EQ(f.cache.NearestFunctionStart(3, 0x401050), -1);
}

TEST(FunctionCache, NearestFunctionStartOfARealModuleIsAnExport) {
  const std::string path = "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll";
  std::string error;
  auto view = PeFileView::Load(path, error);
  if (!view) GTEST_SKIP() << "no " << path << ": " << error;
  const auto image = PeImage::Open(*view, view->image_base());
  ASSERT_TRUE(image);
  ModuleList modules(*view, nullptr);
  FunctionCache cache(*view, modules);
  const ExportEntry wanted = *image->ExportByName("GetTickCount");
  const uint32_t start = image->headers().module_base + wanted.rva;
  const int module = modules.ModuleOfAddress(start + 1);
  ASSERT_EQ(module, 0);
  const int index = cache.NearestFunctionStart(module, start + 1);
  ASSERT_GE(index, 0);
  EXPECT_EQ(cache.functions()[index].info.entry_point, start);
  EXPECT_EQ(cache.functions()[index].name, "GetTickCount");
  EXPECT_TRUE(cache.functions()[index].approved);
}

}  // namespace
}  // namespace trace
