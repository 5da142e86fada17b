#include "crash/win/shared_instance_block_win.h"

#include <gtest/gtest.h>

#include <string>

#include "crash/thread_entry.h"
#include "crash/win/registry_host_win.h"

namespace {

bool BlockExists() {
  const std::string name = crash::SharedInstanceBlockName(GetCurrentProcessId());
  const HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  if (mapping != nullptr) CloseHandle(mapping);
  return mapping != nullptr;
}

TEST(SharedInstanceBlock, TheLastUserReleasesTheBlockAndWithoutItTheRegistryIsEmpty) {
  ASSERT_EQ(crash::StartSharedInstanceBlock(), crash::SharedBlockStart::kCreated);
  EXPECT_TRUE(BlockExists());
  EXPECT_NE(crash::RegistryMutex(), nullptr);
  crash::SetThreadName(GetCurrentThreadId(), "named");
  EXPECT_EQ(crash::RegisteredThreadOf(GetCurrentThreadId())->name, "named");
  crash::StopSharedInstanceBlock();
  EXPECT_EQ(crash::SharedInstanceBlockView(), nullptr);
  EXPECT_EQ(crash::RegistryMutex(), nullptr);
  EXPECT_FALSE(BlockExists());
  crash::SetThreadName(GetCurrentThreadId(), "ignored");
  EXPECT_TRUE(crash::RegisteredThreads().empty());

  // A new start finds no block left and begins afresh.
  ASSERT_EQ(crash::StartSharedInstanceBlock(), crash::SharedBlockStart::kCreated);
  EXPECT_EQ(crash::RegisteredThreadOf(GetCurrentThreadId())->name, "main thread");
  crash::StopSharedInstanceBlock();
}

}  // namespace
