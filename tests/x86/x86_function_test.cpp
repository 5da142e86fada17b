#include "trace/x86/x86_function.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/x86/fake_address_space.h"

namespace trace {
namespace {

using testing::FakeAddressSpace;

constexpr uint32_t kAt = 0x00401000;

// A module at 0x400000 with code at kAt.
FakeAddressSpace Module(std::vector<uint8_t> code) {
  FakeAddressSpace memory;
  memory.AddModule(0x00400000, 0x10000, "C:\\app\\app.exe", true);
  memory.Add(kAt, std::move(code));
  return memory;
}

const TCodeArea* AreaAt(const TFunctionInfo& info, uint32_t begin) {
  for (const TCodeArea& area : info.code_areas) {
    if (area.begin == begin) return &area;
  }
  return nullptr;
}

TEST(X86FunctionTest, BranchesSplitTheFunctionIntoAreas) {
  const FakeAddressSpace memory = Module({
      0x55,                          // 401000 push ebp
      0x8B, 0xEC,                    // 401001 mov ebp, esp
      0x83, 0x7D, 0x08, 0x00,        // 401003 cmp dword ptr [ebp+8], 0
      0x74, 0x07,                    // 401007 jz 401010
      0xE8, 0xF2, 0x0F, 0x00, 0x00,  // 401009 call 402000
      0xEB, 0x02,                    // 40100e jmp 401012
      0x33, 0xC0,                    // 401010 xor eax, eax
      0x5D,                          // 401012 pop ebp
      0xC3,                          // 401013 ret
  });
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, kAt, info));
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(info.entry_point, kAt);
  EXPECT_EQ(info.code_begin, kAt);
  EXPECT_EQ(info.code_length, 0x14u);
  ASSERT_EQ(info.code_areas.size(), 3u);
  EXPECT_EQ(info.code_areas[0].end, 0x0040100Fu);
  ASSERT_NE(AreaAt(info, 0x00401010), nullptr);
  EXPECT_EQ(AreaAt(info, 0x00401010)->end, 0x00401011u);
  EXPECT_EQ(AreaAt(info, 0x00401010)->referrer, 0x00401007u);
  EXPECT_EQ(AreaAt(info, 0x00401012)->end, 0x00401013u);
  ASSERT_EQ(info.known_calls.size(), 1u);
  EXPECT_TRUE(info.known_calls[0].is_call);
  EXPECT_EQ(info.known_calls[0].address, 0x00401009u);
  EXPECT_EQ(info.known_calls[0].next, 0x0040100Eu);
  EXPECT_EQ(info.known_calls[0].target, 0x00402000u);
  EXPECT_TRUE(info.known_calls[0].target_relative);
  EXPECT_TRUE(info.unknown_calls.empty());
  EXPECT_TRUE(info.patchable_head);
  EXPECT_EQ(info.size_estimate, 0x14 + 4);
}

TEST(X86FunctionTest, ACaseTableBehindItsJumpGivesOneAreaPerEntry) {
  const FakeAddressSpace memory = Module({
      0x83, 0xF8, 0x02,                          // 401000 cmp eax, 2
      0x77, 0x13,                                // 401003 ja 401018
      0xFF, 0x24, 0x85, 0x0C, 0x10, 0x40, 0x00,  // 401005 jmp [eax*4+40100c]
      0x18, 0x10, 0x40, 0x00,                    // 40100c case 0
      0x19, 0x10, 0x40, 0x00,                    // 401010 case 1
      0x1A, 0x10, 0x40, 0x00,                    // 401014 case 2
      0xC3, 0xC3, 0xC3,                          // 401018 ret (x3)
  });
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, kAt, info));
  const TCodeArea* table = AreaAt(info, 0x0040100C);
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->is_case_table);
  EXPECT_EQ(table->end, 0x00401017u);
  EXPECT_EQ(table->referrer, 0x00401005u);
  for (uint32_t entry : {0x00401018u, 0x00401019u, 0x0040101Au}) {
    ASSERT_NE(AreaAt(info, entry), nullptr) << entry;
    EXPECT_EQ(AreaAt(info, entry)->end, entry);
    EXPECT_FALSE(AreaAt(info, entry)->is_case_table);
  }
  EXPECT_EQ(info.code_areas.size(), 5u);
  EXPECT_TRUE(info.unknown_calls.empty());
  EXPECT_EQ(info.code_length, 0x1Bu);
}

// A switch compiled by i686-w64-mingw32-g++ -O2 (captured from its objdump output):
//   extern "C" void Pick(int n, int v) {
//     switch (n) { case 0: Sink(v + 17); break; case 1: Sink(v * 4); break;
//       case 2: Sink(v - 99); break; case 3: Sink(v ^ 12); break;
//       case 4: Sink(v / 3); break; case 5: Sink(v << 7); break; default: Sink(0); } }
// Sink lies at 4015b0, Pick at 4015c0; the jump table lies with the read-only data at
// 404044, away from the code.
TEST(X86FunctionTest, ACompiledSwitchGivesItsCaseTableAndCaseAreas) {
  FakeAddressSpace memory;
  memory.AddModule(0x00400000, 0x10000, "C:\\app\\switch.exe", true);
  memory.Add(0x004015B0,
             {0x8B, 0x44, 0x24, 0x04, 0xC3, 0x8D, 0xB4, 0x26, 0x00, 0x00, 0x00, 0x00, 0x8D, 0x74,
              0x26, 0x00, 0x8B, 0x44, 0x24, 0x04, 0x8B, 0x4C, 0x24, 0x08, 0x83, 0xF8, 0x05, 0x77,
              0x6F, 0xFF, 0x24, 0x85, 0x44, 0x40, 0x40, 0x00, 0x8D, 0x74, 0x26, 0x00, 0xB8, 0x56,
              0x55, 0x55, 0x55, 0xF7, 0xE9, 0xC1, 0xF9, 0x1F, 0x29, 0xCA, 0x89, 0x54, 0x24, 0x04,
              0xEB, 0xC6, 0x8D, 0xB6, 0x00, 0x00, 0x00, 0x00, 0xC1, 0xE1, 0x07, 0x89, 0x4C, 0x24,
              0x04, 0xEB, 0xB7, 0x8D, 0xB4, 0x26, 0x00, 0x00, 0x00, 0x00, 0x83, 0xC1, 0x11, 0x89,
              0x4C, 0x24, 0x04, 0xEB, 0xA7, 0x8D, 0xB4, 0x26, 0x00, 0x00, 0x00, 0x00, 0xC1, 0xE1,
              0x02, 0x89, 0x4C, 0x24, 0x04, 0xEB, 0x97, 0x8D, 0xB4, 0x26, 0x00, 0x00, 0x00, 0x00,
              0x83, 0xE9, 0x63, 0x89, 0x4C, 0x24, 0x04, 0xEB, 0x87, 0x8D, 0xB4, 0x26, 0x00, 0x00,
              0x00, 0x00, 0x83, 0xF1, 0x0C, 0x89, 0x4C, 0x24, 0x04, 0xE9, 0x74, 0xFF, 0xFF, 0xFF,
              0xC7, 0x44, 0x24, 0x04, 0x00, 0x00, 0x00, 0x00, 0xE9, 0x67, 0xFF, 0xFF, 0xFF});
  memory.Add(0x00404044, {0x00, 0x16, 0x40, 0x00, 0x10, 0x16, 0x40, 0x00, 0x20, 0x16, 0x40, 0x00,
                          0x30, 0x16, 0x40, 0x00, 0xD8, 0x15, 0x40, 0x00, 0xF0, 0x15, 0x40, 0x00});
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, 0x004015C0, info));
  const TCodeArea* table = AreaAt(info, 0x00404044);
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->is_case_table);
  EXPECT_EQ(table->end, 0x0040405Bu);
  EXPECT_EQ(table->referrer, 0x004015CDu);
  for (uint32_t entry :
       {0x00401600u, 0x00401610u, 0x00401620u, 0x00401630u, 0x004015D8u, 0x004015F0u}) {
    ASSERT_NE(AreaAt(info, entry), nullptr) << std::hex << entry;
    EXPECT_EQ(AreaAt(info, entry)->referrer, 0x004015CDu);
  }
  EXPECT_NE(AreaAt(info, 0x0040163C), nullptr);  // the default case
  EXPECT_TRUE(info.unknown_calls.empty());
  // The short tail jumps to Sink open an area there; the table does not stretch the code.
  EXPECT_NE(AreaAt(info, 0x004015B0), nullptr);
  EXPECT_EQ(info.code_begin, 0x004015B0u);
  EXPECT_EQ(info.code_length, 0x00401649u - 0x004015B0u);
}

TEST(X86FunctionTest, ErrorsNameTheirCause) {
  const FakeAddressSpace memory = Module({0x55, 0x0F, 0x0B});
  TFunctionInfo info;
  EXPECT_FALSE(ParseFunction(memory, 0x00500000, info, "Falscher Parameter."));
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(info.last_error, 87u);
  EXPECT_EQ(info.last_error_text, "Falscher Parameter.");

  EXPECT_FALSE(ParseFunction(memory, 0x00500000, info));
  EXPECT_EQ(info.last_error_text, "The parameter is incorrect.");

  EXPECT_FALSE(ParseFunction(memory, kAt, info));
  EXPECT_EQ(info.last_error, 0x770001u);
  EXPECT_EQ(info.last_error_text, "Invalid code!");
  EXPECT_EQ(info.last_error_address, kAt + 1);

  // Code that runs off the end of readable memory.
  const FakeAddressSpace open_end = Module({0x90, 0x90});
  EXPECT_FALSE(ParseFunction(open_end, kAt, info));
  EXPECT_EQ(info.last_error_address, kAt + 2);
}

TEST(X86FunctionTest, CallsToTheNextInstructionAndStubsAreSeenThrough) {
  FakeAddressSpace memory = Module({
      0xE8, 0x00, 0x00, 0x00, 0x00,  // 401000 call 401005 (gets its own address)
      0x58,                          // 401005 pop eax
      0xE8, 0xF5, 0x00, 0x00, 0x00,  // 401006 call 401100 (a jump stub)
      0xE8, 0xF0, 0x01, 0x00, 0x00,  // 40100b call 401200 (an exported stub)
      0xC3,                          // 401010 ret
  });
  memory.Add(0x00401100, {0xFF, 0x25, 0x00, 0x20, 0x40, 0x00});
  memory.Add(0x00401200, {0xFF, 0x25, 0x00, 0x20, 0x40, 0x00});
  memory.Add(0x00402000, {0x00, 0x10, 0x00, 0x77});
  memory.AddExport(0x00401200, "Stub");
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, kAt, info));
  ASSERT_EQ(info.known_calls.size(), 2u);
  EXPECT_EQ(info.known_calls[0].address, 0x00401006u);
  EXPECT_EQ(info.known_calls[0].target, 0x77001000u);
  EXPECT_EQ(info.known_calls[1].target, 0x00401200u);
  EXPECT_EQ(info.code_areas.size(), 1u);
}

TEST(X86FunctionTest, UnknownJumpsLetTheFirstGapBeParsed) {
  const FakeAddressSpace memory = Module({
      0x85, 0xC0,  // 401000 test eax, eax
      0x74, 0x04,  // 401002 jz 401008
      0xFF, 0xE0,  // 401004 jmp eax
      0x90,        // 401006 nop (only reached through eax)
      0xC3,        // 401007 ret
      0xC3,        // 401008 ret
  });
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, kAt, info));
  ASSERT_EQ(info.unknown_calls.size(), 1u);
  EXPECT_FALSE(info.unknown_calls[0].is_call);
  EXPECT_EQ(info.unknown_calls[0].address, 0x00401004u);
  ASSERT_NE(AreaAt(info, 0x00401006), nullptr);
  EXPECT_EQ(AreaAt(info, 0x00401006)->end, 0x00401007u);
  EXPECT_EQ(info.code_length, 9u);
  EXPECT_FALSE(info.patchable_head);  // the head is only 6 bytes with a register jump
}

TEST(X86FunctionTest, KnownRegisterValuesOpenAreasAndResolveCalls) {
  const FakeAddressSpace memory = Module({
      0xB8, 0x00, 0x20, 0x40, 0x00,  // 401000 mov eax, 402000
      0xFF, 0xD0,                    // 401005 call eax
      0x31, 0xC0,                    // 401007 xor eax, eax
      0xC3,                          // 401009 ret
  });
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, kAt, info));
  // eax becomes known after the mov, and unknown again after the call.
  ASSERT_EQ(info.code_areas.size(), 3u);
  EXPECT_EQ(info.code_areas[0].end, 0x00401004u);
  EXPECT_EQ(info.code_areas[1].begin, 0x00401005u);
  EXPECT_EQ(info.code_areas[1].registers[0], 0x00402000u);
  EXPECT_EQ(info.code_areas[2].begin, 0x00401007u);
  EXPECT_EQ(info.code_areas[2].registers[0], 0u);
  ASSERT_EQ(info.known_calls.size(), 1u);
  EXPECT_EQ(info.known_calls[0].target, 0x00402000u);
  EXPECT_FALSE(info.known_calls[0].target_relative);
  EXPECT_TRUE(info.unknown_calls.empty());
  EXPECT_FALSE(info.patchable_head);  // the first area is only 5 bytes
}

TEST(X86FunctionTest, ShortBranchesInTheHeadPreventPatching) {
  const FakeAddressSpace memory = Module({
      0x85, 0xC0,                    // 401000 test eax, eax
      0x75, 0x05,                    // 401002 jnz 401009
      0x90, 0x90, 0x90, 0x90, 0x90,  // 401004 nops
      0xC3,                          // 401009 ret
  });
  TFunctionInfo info;
  ASSERT_TRUE(ParseFunction(memory, kAt, info));
  EXPECT_FALSE(info.patchable_head);
}

}  // namespace
}  // namespace trace
