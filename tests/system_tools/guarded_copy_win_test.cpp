#include <gtest/gtest.h>
#include <windows.h>

#include "trace/win/try_read_memory_win.h"

// A program of its own: under Wine on a user-mode emulator, faults stopped reaching the
// process (qemu: "uncaught target signal 11") after a test that started and ended threads
// with std::thread ran in the same program.

namespace trace {
namespace {

// The copy behind TryReadMemory survives the faults that a page freed or protected after
// the check would cause.
TEST(TryReadMemoryTest, GuardedCopyTurnsFaultsIntoFailure) {
  char target[16] = {};
  const char source[] = "guarded";
  ASSERT_TRUE(GuardedCopyMemory(target, source, sizeof(source)));
  EXPECT_STREQ(target, source);

  auto* pages =
      static_cast<char*>(VirtualAlloc(nullptr, 0x2000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(pages + 0x1000, 0x1000, PAGE_NOACCESS, &old));
  EXPECT_FALSE(GuardedCopyMemory(target, pages + 0xFFC, 8));
  EXPECT_TRUE(GuardedCopyMemory(target, pages + 0xFF8, 8));
  VirtualFree(pages, 0, MEM_RELEASE);
  EXPECT_FALSE(GuardedCopyMemory(target, pages, 4));
  // The process goes on as before: ordinary reads still work.
  EXPECT_TRUE(TryReadMemory(source, target, 4));
}

}  // namespace
}  // namespace trace
