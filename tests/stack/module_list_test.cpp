#include "trace/stack/module_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/stack/synthetic_module.h"

namespace trace {
namespace {

TEST(ModuleList, RecordsRangesFromTheCodeSectionOrTheHeaders) {
  testing::FakeAddressSpace memory;
  testing::SyntheticModule code_section;  // first section has the code flag
  code_section.section_size = 0x800;
  code_section.AddTo(memory, "C:\\app\\Install.exe");
  testing::SyntheticModule data_section;  // first section without it: BaseOfCode, SizeOfCode
  data_section.base = 0x10000000;
  data_section.section_flags = 0x40000040;
  data_section.code_base = 0x1200;
  data_section.code_size = 0x300;
  data_section.AddTo(memory, "C:/sys/helper.dll");

  int asked = 0;
  auto map = std::make_shared<TMapFile>();
  ModuleList list(memory, [&](uint32_t base, const std::string& path) {
    ++asked;
    EXPECT_EQ(path, base == 0x400000 ? "C:\\app\\Install.exe" : "C:/sys/helper.dll");
    return base == 0x400000 ? map : nullptr;
  });
  ASSERT_EQ(list.Register(0x400000), 0);
  ASSERT_EQ(list.Register(0x10000000), 1);
  EXPECT_EQ(list.Register(0x400000), 0);  // known: found by handle, not read again
  EXPECT_EQ(asked, 2);

  const TModuleRecord& a = list.modules()[0];
  EXPECT_EQ(a.file_name, "Install.exe");
  EXPECT_EQ(a.code_start, 0x401000u);
  EXPECT_EQ(a.code_end, 0x401800u);
  EXPECT_EQ(a.data_start, 0x402000u);
  EXPECT_EQ(a.data_end, 0x402A00u);
  EXPECT_EQ(a.map, map);
  const TModuleRecord& b = list.modules()[1];
  EXPECT_EQ(b.file_name, "helper.dll");
  EXPECT_EQ(b.code_start, 0x10001200u);
  EXPECT_EQ(b.code_end, 0x10001500u);
  EXPECT_EQ(b.map, nullptr);
  EXPECT_EQ(list.IndexOfHandle(0x10000000), 1);
  EXPECT_EQ(list.IndexOfHandle(0x20000000), -1);
}

TEST(ModuleList, MembershipKeepsTheEndAndLeavesTheStart) {
  TModuleRecord m;
  m.code_start = 0x1000;
  m.code_end = 0x2000;
  m.data_start = 0x3000;
  m.data_end = 0x3100;
  EXPECT_FALSE(InModule(m, 0x1000));
  EXPECT_TRUE(InModule(m, 0x1001));
  EXPECT_TRUE(InModule(m, 0x2000));
  EXPECT_FALSE(InModule(m, 0x2001));
  EXPECT_TRUE(InModule(m, 0x3100));
  EXPECT_FALSE(InModule(m, 0x2800));
}

TEST(ModuleList, ModuleOfAnAddress) {
  testing::FakeAddressSpace memory;
  testing::SyntheticModule module;
  module.AddTo(memory, "app.exe");
  memory.Add(0x500000, std::vector<uint8_t>(16, 0));  // committed memory of no module
  ModuleList list(memory, nullptr);

  // Not yet registered: the allocation base of the committed region registers it.
  EXPECT_EQ(list.ModuleOfAddress(0x401234), 0);
  EXPECT_EQ(list.modules().size(), 1u);
  EXPECT_EQ(list.ModuleOfAddress(0x402010), 0);
  // The headers lie in no range, but in the module's allocation.
  EXPECT_EQ(list.ModuleOfAddress(0x400010), 0);
  EXPECT_EQ(list.ModuleOfAddress(0x500004), -1);  // no module file there
  EXPECT_EQ(list.ModuleOfAddress(0x600000), -1);  // nothing there
  EXPECT_EQ(list.Register(0x500000), -1);
}

TEST(ModuleList, GrowsByDoublingFrom16) {
  testing::FakeAddressSpace memory;
  for (uint32_t i = 0; i < 17; ++i) {
    testing::SyntheticModule module;
    module.base = 0x10000000 + i * 0x10000;
    module.AddTo(memory, "m" + std::to_string(i) + ".dll");
  }
  ModuleList list(memory, nullptr);
  EXPECT_EQ(list.capacity(), 0u);
  for (uint32_t i = 0; i < 16; ++i)
    ASSERT_EQ(list.Register(0x10000000 + i * 0x10000), int(i));
  EXPECT_EQ(list.capacity(), 16u);
  EXPECT_EQ(list.Register(0x10100000), 16);
  EXPECT_EQ(list.capacity(), 32u);
  EXPECT_EQ(list.modules()[16].file_name, "m16.dll");
}

}  // namespace
}  // namespace trace
