#include "trace/pe/win/module_info_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "trace/pe/win/live_address_space_win.h"

namespace trace {
namespace {

uint32_t AddressOf(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

uint32_t Kernel32() {
  return AddressOf(GetModuleHandleA("kernel32.dll"));
}

uint32_t Procedure(const char* module, const char* name) {
  return AddressOf(reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA(module), name)));
}

TEST(ModuleInfoTest, ModuleOfAddress) {
  const uint32_t main = AddressOf(GetModuleHandleA(nullptr));
  const auto own = ModuleOfAddress(AddressOf(reinterpret_cast<const void*>(&Kernel32)));
  ASSERT_TRUE(own);
  EXPECT_EQ(own->handle, main);
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  EXPECT_EQ(own->file_name, std::string(path, length));

  const auto kernel = ModuleOfAddress(Procedure("kernel32.dll", "GetLastError"));
  ASSERT_TRUE(kernel);
  EXPECT_EQ(kernel->handle, Kernel32());

  void* freed = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_TRUE(VirtualFree(freed, 0, MEM_RELEASE));
  EXPECT_FALSE(ModuleOfAddress(AddressOf(freed)));
  EXPECT_FALSE(ModuleOfAddress(0));
}

TEST(ModuleInfoTest, HeadersAndDirectories) {
  const auto headers = ModuleImageHeaders(Kernel32());
  ASSERT_TRUE(headers);
  EXPECT_EQ(headers->machine, 0x14C);
  EXPECT_NE(headers->image_size, 0u);
  EXPECT_NE(ModuleImageDirectory(Kernel32(), 0), 0u);
  EXPECT_FALSE(ModuleImageHeaders(0));

  // A committed page that is no image.
  void* page = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_FALSE(ModuleImageHeaders(AddressOf(page)));
  EXPECT_EQ(ModuleImageDirectory(AddressOf(page), 0), 0u);
  VirtualFree(page, 0, MEM_RELEASE);
}

TEST(ModuleInfoTest, ExportsByNameAndOrdinal) {
  const uint32_t expected = Procedure("kernel32.dll", "GetLastError");
  EXPECT_EQ(ModuleExportByName(Kernel32(), "GetLastError"), expected);
  EXPECT_EQ(ModuleExportByName(Kernel32(), "getlasterror"), 0u);
  EXPECT_EQ(ModuleExportByName(Kernel32(), "NoSuchExportAnywhere"), 0u);
  EXPECT_EQ(ModuleExportByName(0, "GetLastError"), 0u);

  const auto image = PeImage::Open(LiveSpace(), Kernel32());
  ASSERT_TRUE(image);
  const auto entry = image->ExportByName("GetLastError");
  ASSERT_TRUE(entry);
  EXPECT_EQ(ModuleExportByOrdinal(Kernel32(), entry->ordinal), expected);
  EXPECT_EQ(ModuleExportName(Kernel32(), expected), "GetLastError");
  EXPECT_EQ(LiveSpace().ExportName(expected), "GetLastError");
}

// kernel32 forwards AcquireSRWLockExclusive to ntdll's RtlAcquireSRWLockExclusive.
TEST(ModuleInfoTest, ForwardedExportIsResolved) {
  const auto image = PeImage::Open(LiveSpace(), Kernel32());
  ASSERT_TRUE(image);
  const auto entry = image->ExportByName("AcquireSRWLockExclusive");
  ASSERT_TRUE(entry);
  ASSERT_TRUE(entry->is_forwarder);
  EXPECT_EQ(entry->forwarder, "NTDLL.RtlAcquireSRWLockExclusive");
  const uint32_t target = Procedure("ntdll.dll", "RtlAcquireSRWLockExclusive");
  ASSERT_NE(target, 0u);
  EXPECT_EQ(ModuleExportByName(Kernel32(), "AcquireSRWLockExclusive"), target);
  EXPECT_EQ(ModuleExportByOrdinal(Kernel32(), entry->ordinal), target);
}

// An address table entry patched to point beyond the image is read from the file instead.
TEST(ModuleInfoTest, PatchedEntryIsReadFromTheFile) {
  const auto image = PeImage::Open(LiveSpace(), Kernel32());
  ASSERT_TRUE(image);
  const auto entry = image->ExportByName("GetLastError");
  ASSERT_TRUE(entry);
  const uint32_t expected = ModuleExportByName(Kernel32(), "GetLastError");
  auto* slot = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(Kernel32() + entry->slot_rva));
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(slot, 4, PAGE_READWRITE, &old));
  const uint32_t original = *slot;
  *slot = image->headers().image_size + 0x10000;
  const uint32_t found = ModuleExportByName(Kernel32(), "GetLastError");
  *slot = original;
  VirtualProtect(slot, 4, old, &old);
  EXPECT_EQ(found, expected);
}

TEST(ModuleInfoTest, LiveAddressSpace) {
  const LiveAddressSpace& space = LiveSpace();
  const uint32_t function = Procedure("kernel32.dll", "GetLastError");
  const auto module = space.ModuleOf(function);
  ASSERT_TRUE(module);
  EXPECT_EQ(module->base, Kernel32());
  EXPECT_FALSE(module->is_main);
  EXPECT_NE(module->image_size, 0u);
  const auto main = space.ModuleOf(AddressOf(reinterpret_cast<const void*>(&Kernel32)));
  ASSERT_TRUE(main);
  EXPECT_TRUE(main->is_main);

  const auto region = space.Region(function);
  ASSERT_TRUE(region);
  EXPECT_TRUE(region->committed);
  EXPECT_EQ(region->allocation_base, Kernel32());
  EXPECT_LE(region->base, function);

  uint8_t mz[2] = {};
  EXPECT_TRUE(space.Read(Kernel32(), mz, 2));
  EXPECT_EQ(mz[0], 'M');
  EXPECT_FALSE(space.Read(0, mz, 2));

  void* heap = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_FALSE(space.ModuleOf(AddressOf(heap)));
  EXPECT_EQ(space.ExportName(AddressOf(heap)), "");
  VirtualFree(heap, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace trace
