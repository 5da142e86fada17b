#include "crash/win/import_patch_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace {

uint32_t AddressOf(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

TEST(ImportPatch, SlotsOfTheRoutineAreReplacedAndADamagedDirectoryStopsTheWalk) {
  auto* image = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x3000, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(image, nullptr);
  const auto put = [&](uint32_t offset, uint32_t value) { std::memcpy(image + offset, &value, 4); };
  image[0] = 'M';
  image[1] = 'Z';
  put(0x3C, 0x80);
  put(0x80, 0x00004550);
  put(0x98, 0x10B);         // PE32
  put(0x98 + 56, 0x3000);   // size of image
  put(0x98 + 92, 16);       // data directories
  put(0x98 + 104, 0x1000);  // import directory
  put(0x98 + 108, 0x200);
  const uint32_t routine = 0x11111111, other = 0x22222222, replacement = 0x33333333;
  // First descriptor: its table holds the routine and another import.
  put(0x1000 + 12, 0x1180);
  put(0x1000 + 16, 0x1080);
  put(0x1080, routine);
  put(0x1084, other);
  // Second: its table lies past the directory's end.
  put(0x1014 + 12, 0x1180);
  put(0x1014 + 16, 0x2000);
  put(0x2000, routine);
  // Third, never reached.
  put(0x1028 + 12, 0x1180);
  put(0x1028 + 16, 0x1090);
  put(0x1090, routine);
  DWORD old = 0;
  VirtualProtect(image, 0x3000, PAGE_READONLY, &old);  // patched with the page made writable

  const uint32_t from[] = {routine};
  const crash::ImportPatchResult result =
      crash::PatchImportSlots(AddressOf(image), from, replacement);
  EXPECT_TRUE(result.invalid);
  EXPECT_EQ(result.slots_changed, 1);
  uint32_t slot = 0;
  std::memcpy(&slot, image + 0x1080, 4);
  EXPECT_EQ(slot, replacement);
  std::memcpy(&slot, image + 0x1084, 4);
  EXPECT_EQ(slot, other);
  std::memcpy(&slot, image + 0x1090, 4);
  EXPECT_EQ(slot, routine);
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(image + 0x1080, &info, sizeof(info));
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_READONLY));
  VirtualFree(image, 0, MEM_RELEASE);
}

TEST(ImportPatch, TheProcessModulesIncludeTheExecutableAndTheirImportTablesAreWhole) {
  const std::vector<uint32_t> modules = crash::ProcessModules();
  const uint32_t exe = AddressOf(GetModuleHandleA(nullptr));
  EXPECT_NE(std::find(modules.begin(), modules.end(), exe), modules.end());
  EXPECT_NE(std::find(modules.begin(), modules.end(), AddressOf(GetModuleHandleA("msvcrt.dll"))),
            modules.end());
  for (const uint32_t module : modules) {
    char name[MAX_PATH] = "";
    GetModuleFileNameA(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module)), name, MAX_PATH);
    EXPECT_FALSE(crash::PatchImportSlots(module, {}, 0).invalid) << name;
  }
}

}  // namespace
