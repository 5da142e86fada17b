#include "trace/stack/entry_point_walk.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/stack/synthetic_module.h"
#include "trace/stack/code_patcher.h"
#include "trace/x86/x86_decoder.h"

namespace trace {
namespace {

// Records the calls it is asked to redirect and answers with a stub address.
class RecordingPatcher : public CodePatcher {
 public:
  uint32_t RedirectCall(uint32_t call_address, uint32_t target) override {
    asked.emplace_back(call_address, target);
    return stub;
  }
  std::vector<std::pair<uint32_t, uint32_t>> asked;
  uint32_t stub = 0x7000;
};

// The entry point 401000 of app.exe:
//   401000 push ebp; mov ebp, esp
//   401003 head (call 401080 unless a test puts other bytes there)
//   401008 call 401200   (jmp [402000], which holds 401100: System.@Halt0)
//   40100d call 401100   (the same function again)
//   401012 ret
struct Module {
  testing::FakeAddressSpace memory;
  std::shared_ptr<TMapFile> map = std::make_shared<TMapFile>();
  bool with_symbols = true;
  ModuleList modules{memory,
                     [this](uint32_t, const std::string&) { return with_symbols ? map : nullptr; }};
  FunctionCache cache{memory, modules};
  RecordingPatcher patcher;
  TEntryPointWalk walk;

  explicit Module(std::vector<uint8_t> head = {0xE8, 0x78, 0x00, 0x00, 0x00}) {
    testing::SyntheticModule image;
    image.entry_point = 0x1000;
    image.Put(0x1000, {0x55, 0x8B, 0xEC});
    image.Put(0x1003, head);
    image.Put(0x1008, {0xE8, 0xF3, 0x01, 0x00, 0x00, 0xE8, 0xEE, 0x00, 0x00, 0x00, 0xC3});
    image.Put(0x1080, {0xC3});
    image.Put(0x1100, {0xC3});
    image.Put(0x1200, {0xFF, 0x25, 0x00, 0x20, 0x40, 0x00});
    image.Put(0x2000, {0x00, 0x11, 0x40, 0x00});
    image.AddTo(memory, "C:\\app\\app.exe");
    map->SetRanges(0x401000, 0x402000, 0x402000, 0x402A00);
    map->set_valid(true);
    map->AppendPublic(true, "Main.Start", 0x401000);
    map->AppendPublic(true, "Main.Other", 0x401080);
    map->AppendPublic(true, "System.@Halt0", 0x401100);
    map->AppendPublic(true, "Main.Stub", 0x401200);
    modules.set_registration_hook(
        [this](int index) { walk = WalkEntryPoint(memory, modules, cache, index, patcher); });
  }
};

TEST(EntryPointWalk, RedirectsTheFirstHalt0CallAndCachesTheEntryPoint) {
  Module m;
  ASSERT_EQ(m.modules.ModuleOfAddress(0x401050), 0);  // registration runs the walk
  ASSERT_EQ(m.patcher.asked.size(), 1u);
  EXPECT_EQ(m.patcher.asked[0], std::make_pair(0x401008u, 0x401100u));  // through the stub
  EXPECT_EQ(m.walk.call_address, 0x401008u);
  EXPECT_EQ(m.walk.target, 0x401100u);
  EXPECT_EQ(m.walk.stub, 0x7000u);

  ASSERT_GE(m.walk.entry_function, 0);
  const TCachedFunction& entry = m.cache.functions()[m.walk.entry_function];
  EXPECT_EQ(entry.name, "EntryPoint");
  EXPECT_EQ(entry.info.entry_point, 0x401000u);
  EXPECT_TRUE(entry.approved);
  int found = 0;
  for (const TKnownCall& call : entry.info.known_calls) {
    if (call.next != 0x40100D) continue;
    ++found;
    EXPECT_TRUE(call.is_call);
    EXPECT_EQ(call.address, 0x401008u);
    EXPECT_EQ(call.target, 0x401100u);
  }
  EXPECT_EQ(found, 1);
  // The return point behind the redirected call is known as such.
  uint32_t x = 0x40100D;
  TReturnCall call;
  EXPECT_TRUE(m.cache.IsReturnPoint(m.walk.entry_function, 0, x, call, false));
  EXPECT_EQ(call.target, 0x401100u);
}

TEST(EntryPointWalk, StopsWithoutSymbolDataOrAtTheWalksEnds) {
  Module no_symbols;
  no_symbols.with_symbols = false;
  ASSERT_EQ(no_symbols.modules.Register(0x400000), 0);
  EXPECT_TRUE(no_symbols.patcher.asked.empty());
  EXPECT_TRUE(no_symbols.cache.functions().empty());

  Module jump_out({0xE9, 0xF8, 0xEF, 0x0F, 0x00});  // jmp 500000
  ASSERT_EQ(jump_out.modules.Register(0x400000), 0);
  EXPECT_TRUE(jump_out.patcher.asked.empty());
  EXPECT_EQ(jump_out.walk.entry_function, -1);

  Module invalid({0xFF, 0xFF, 0x90, 0x90, 0x90});  // FF /7 does not decode
  ASSERT_EQ(invalid.modules.Register(0x400000), 0);
  EXPECT_TRUE(invalid.patcher.asked.empty());

  // A jump inside the code range does not end the walk.
  Module jump_in({0xEB, 0x03, 0x90, 0x90, 0x90});  // jmp short 401008
  ASSERT_EQ(jump_in.modules.Register(0x400000), 0);
  EXPECT_EQ(jump_in.patcher.asked.size(), 1u);
}

TEST(CodePatcher, StubAndJumpDecodeToTheirTargets) {
  const auto stub = CallAndReturnStub(0x7000, 0x401100);
  X86Instruction call;
  DecodeInstruction(stub.data(), stub.size(), 0x7000, call);
  EXPECT_TRUE(call.is_call);
  EXPECT_EQ(call.target, 0x401100u);
  EXPECT_EQ(call.next, 0x7005u);
  EXPECT_EQ(stub[5], 0xC3);

  const auto jump = JumpRel32(0x401008, 0x7000);  // backwards, the offset wraps
  X86Instruction jmp;
  DecodeInstruction(jump.data(), jump.size(), 0x401008, jmp);
  EXPECT_TRUE(jmp.is_jump);
  EXPECT_EQ(jmp.target, 0x7000u);
  EXPECT_EQ(jmp.next, 0x40100Du);
}

}  // namespace
}  // namespace trace
