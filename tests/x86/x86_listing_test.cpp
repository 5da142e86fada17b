#include "trace/x86/x86_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/x86/fake_address_space.h"
#include "trace/x86/x86_names.h"

namespace trace {
namespace {

using testing::FakeAddressSpace;

constexpr uint32_t kAt = 0x00401000;

FakeAddressSpace Module(std::vector<uint8_t> code) {
  FakeAddressSpace memory;
  memory.AddModule(0x00400000, 0x10000, "C:\\app\\app.exe", true);
  memory.Add(kAt, std::move(code));
  return memory;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

const std::vector<uint8_t> kBranchy = {
    0x55,                          // 401000 push ebp
    0x8B, 0xEC,                    // 401001 mov ebp, esp
    0x83, 0x7D, 0x08, 0x00,        // 401003 cmp dword ptr [ebp+8], 0
    0x74, 0x07,                    // 401007 jz 401010
    0xE8, 0xF2, 0x0F, 0x00, 0x00,  // 401009 call 402000
    0xEB, 0x02,                    // 40100e jmp 401012
    0x33, 0xC0,                    // 401010 xor eax, eax
    0x5D,                          // 401012 pop ebp
    0xC3,                          // 401013 ret
};

TEST(X86ListingTest, StructuredListingLabelsTargetsAndSeparatesBlocks) {
  const FakeAddressSpace memory = Module(kBranchy);
  TFunctionInfo info;
  const std::string text = DisassembleFunction(memory, kAt, 0x00401009, info, true, 0);
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
  EXPECT_NE(text.substr(text.size() - 2), "\r\n");
  const std::string separator = "; ---------------------------------------------------------";
  const std::vector<std::string> expected = {
      "00401000 sub_00401000:        "
      "  ; function entry point",
      "00401000   push               ebp",
      "00401001   mov                ebp, esp",
      "00401003   cmp                dword ptr [ebp+8], 0",
      "00401007   jz                 loc_00401010",
      "00401009 \xBB call               +$ff2 (00402000)",
      "0040100e   jmp                loc_00401012",
      "0040100e",
      "0040100e " + separator,
      "0040100e",
      "00401010 loc_00401010:",
      "00401010   xor                eax, eax",
      "00401012 loc_00401012:",
      "00401012   pop                ebp",
      "00401013   ret                ",
      "00401013",
      "00401013 " + separator,
      "00401013",
  };
  EXPECT_EQ(Lines(text), expected);
}

TEST(X86ListingTest, PlainListingNamesTheEntryOnly) {
  const FakeAddressSpace memory = Module(kBranchy);
  SetNameHook([](uint32_t address) { return address == kAt ? "Form1Click" : std::string(); });
  TFunctionInfo info;
  const std::vector<std::string> lines = Lines(DisassembleFunction(memory, kAt, 0, info, false, 0));
  SetNameHook(nullptr);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0],
            "00401000 public Form1Click:   "
            "  ; function entry point");
  EXPECT_EQ(lines[4], "00401007   jz                 loc_00401010");
  EXPECT_EQ(lines[9], "00401013   ret                ");
}

TEST(X86ListingTest, CaseTablesAreListedAsDdLines) {
  const FakeAddressSpace memory = Module({
      0x83, 0xF8, 0x01,                          // 401000 cmp eax, 1
      0x77, 0x0F,                                // 401003 ja 401014
      0xFF, 0x24, 0x85, 0x0C, 0x10, 0x40, 0x00,  // 401005 jmp [eax*4+40100c]
      0x14, 0x10, 0x40, 0x00,                    // 40100c case 0
      0x15, 0x10, 0x40, 0x00,                    // 401010 case 1
      0xC3, 0xC3,                                // 401014 ret, ret
  });
  TFunctionInfo info;
  const std::vector<std::string> lines = Lines(DisassembleFunction(memory, kAt, 0, info, true, 0));
  const std::string separator = "; ---------------------------------------------------------";
  const std::vector<std::string> expected = {
      "00401000 sub_00401000:        "
      "  ; function entry point",
      "00401000   cmp                eax, 1",
      "00401003   ja                 loc_00401014",
      "00401005   jmp                dword ptr [eax*4+$40100c]",
      "00401005",
      "00401005 " + separator,
      "00401005",
      "0040100c   dd loc_00401014    "
      "  ; case jump table",
      "00401010   dd loc_00401015",
      "00401010",
      "00401010 " + separator,
      "00401010",
      "00401014 loc_00401014:",
  };
  ASSERT_GE(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[i], expected[i]) << i;
}

TEST(X86ListingTest, InvalidCodeEndsInDbLines) {
  const FakeAddressSpace memory = Module({0x55, 0x0F, 0x0B});
  TFunctionInfo info;
  const std::vector<std::string> lines = Lines(DisassembleFunction(memory, kAt, 0, info, false, 0));
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(info.last_error, 0x770001u);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "00401001   db $0f");
  EXPECT_EQ(lines[3], "00401002   db $0b");
}

TEST(X86ListingTest, TheLineLimitKeepsTheLinesAroundTheException) {
  std::vector<uint8_t> code(60, 0x90);
  code.push_back(0xC3);
  const FakeAddressSpace memory = Module(code);
  TFunctionInfo info;
  // Line 0 is the label; the nop at kAt + 40 is line 41.
  const std::vector<std::string> lines =
      Lines(DisassembleFunction(memory, kAt, kAt + 40, info, false, 10));
  ASSERT_EQ(lines.size(), 1u + 11 + 1 + 10 + 1);
  EXPECT_EQ(lines.front(), "[...]");
  EXPECT_EQ(lines[1].substr(0, 8), "0040101d");
  EXPECT_EQ(lines[12][9], '\xBB');
  EXPECT_EQ(lines[12].substr(0, 8), "00401028");
  EXPECT_EQ(lines.back(), "[...]");

  // Few lines before the exception: nothing is cut in front.
  const std::vector<std::string> near_start =
      Lines(DisassembleFunction(memory, kAt, kAt + 5, info, false, 10));
  EXPECT_EQ(near_start.front().substr(0, 8), "00401000");
  EXPECT_EQ(near_start.size(), 6u + 1 + 10 + 1);
}

TEST(X86ListingTest, AnAddressOutsideMemoryGivesNoListing) {
  const FakeAddressSpace memory = Module({0xC3});
  TFunctionInfo info;
  EXPECT_EQ(DisassembleFunction(memory, 0x00500000, 0, info, true, 0), "");
  EXPECT_EQ(info.last_error, 87u);
}

}  // namespace
}  // namespace trace
