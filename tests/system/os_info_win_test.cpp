#include "trace/system/win/os_info_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "trace/pe/win/file_version_win.h"
#include "trace/pe/win/module_info_win.h"
#include "trace/system/win/identifier_key_win.h"
#include "trace/system/win/system_resources_win.h"

namespace trace {
namespace {

// Wine reports Windows 7 with Service Pack 1 unless told otherwise.
TEST(OsInfoWinTest, WineReportsWindows7ServicePack1) {
  const OsInfo info = OperatingSystem();
  EXPECT_TRUE(info.is_nt);
  EXPECT_FALSE(info.is_9x);
  EXPECT_EQ(info.major, 6u);
  EXPECT_EQ(info.minor, 1u);
  EXPECT_EQ(info.kind, 12);
  EXPECT_EQ(info.kind_nt, 12);
  EXPECT_EQ(info.service_pack_number, 1u);
  EXPECT_EQ(info.description, "Windows NT New Service Pack 1");
  EXPECT_EQ(OperatingSystem().description, info.description);
}

TEST(OsInfoWinTest, NoFreeSystemResourcesOnTheNtFamily) {
  for (SystemResource kind :
       {SystemResource::kSystem, SystemResource::kGdi, SystemResource::kUser}) {
    EXPECT_EQ(FreeSystemResources(kind), 0u);
  }
}

TEST(OsInfoWinTest, FileVersion) {
  // Our test programs carry no version resource.
  const std::string self = ModuleFileName(
      ModuleOfAddress(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&FileVersion)))->handle);
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(FileVersion(self), 0u);
  EXPECT_EQ(FileVersion("C:\\no such folder\\no such file.dll"), 0u);
  // The system's own DLLs do.
  const std::string kernel = ModuleFileName(
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA("kernel32.dll"))));
  EXPECT_NE(FileVersion(kernel) >> 48, 0u) << kernel;
}

TEST(OsInfoWinTest, IdentifierKeyIsStable) {
  const uint32_t key = IdentifierKey();
  const bool below = ThreadRecordBelow();
  EXPECT_EQ(IdentifierKey(), key);
  EXPECT_EQ(ThreadRecordBelow(), below);
  if (below) {
    EXPECT_NE(key, 0u);
  }
}

}  // namespace
}  // namespace trace
