#include "trace/system/win/try_read_memory_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

namespace trace {
namespace {

TEST(TryReadMemoryTest, ReadsReadableMemory) {
  const char source[] = "readable bytes";
  char target[sizeof(source)] = {};
  EXPECT_TRUE(TryReadMemory(source, target, sizeof(source)));
  EXPECT_STREQ(target, source);
  EXPECT_TRUE(TryReadMemory(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(source)), target, 4));
}

TEST(TryReadMemoryTest, FailsInsteadOfFaulting) {
  char target[16];
  EXPECT_FALSE(TryReadMemory(nullptr, target, 4));
  EXPECT_FALSE(TryReadMemory(uint32_t{0}, target, 0));

  void* freed = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(freed, nullptr);
  ASSERT_TRUE(VirtualFree(freed, 0, MEM_RELEASE));
  EXPECT_FALSE(TryReadMemory(freed, target, 4));

  // Two pages, the second no-access: a read that crosses into it fails as a whole.
  auto* pages =
      static_cast<char*>(VirtualAlloc(nullptr, 0x2000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  std::memset(pages, 'x', 0x1000);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + 0x1000, 0x1000, PAGE_NOACCESS, &old));
  EXPECT_TRUE(TryReadMemory(pages + 0xFF8, target, 8));
  EXPECT_FALSE(TryReadMemory(pages + 0xFF8, target, 9));
  EXPECT_FALSE(TryReadMemory(pages + 0x1000, target, 1));
  VirtualFree(pages, 0, MEM_RELEASE);
}

// A thread's stack grows through its guard page: a read must neither succeed on it nor take
// the guard away.
TEST(TryReadMemoryTest, LeavesGuardPagesGuarded) {
  auto* pages =
      static_cast<char*>(VirtualAlloc(nullptr, 0x2000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages, 0x1000, PAGE_READWRITE | PAGE_GUARD, &old));
  char target[8];
  EXPECT_FALSE(TryReadMemory(pages + 0xFFC, target, 8));
  EXPECT_TRUE(TryReadMemory(pages + 0x1000, target, 8));
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_EQ(VirtualQuery(pages, &info, sizeof info), sizeof info);
  EXPECT_NE(info.Protect & PAGE_GUARD, 0u);
  VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace trace
