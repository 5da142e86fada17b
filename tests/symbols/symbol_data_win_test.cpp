#include "trace/symbols/win/symbol_data_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "trace/pe/win/live_address_space_win.h"
#include "trace/symbols/map_text_writer.h"
#include "trace/x86/x86_names.h"

namespace trace {
namespace {

// A function of this program that the written map names.
__attribute__((noinline)) int SymbolProbeTarget(int value) {
  return value * 3 + 1;
}

std::string ModuleName() {
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
  return std::string(name, length);
}

uint32_t ProbeAddress() {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&SymbolProbeTarget));
}

// Writes a ".map" file beside this program that names SymbolProbeTarget and gives it line 42.
class SymbolDataWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
    map_name_ = ReplaceExtension(ModuleName(), ".map");
    TMapFile ranges;
    ASSERT_TRUE(SetModuleRanges(LiveSpace(), module_, ranges));
    code_start_ = ranges.code_start();
    SymbolTable table;
    table.ranges = {{"symbol_data_win_test", 0, ranges.code_end() - code_start_}};
    const uint32_t offset = ProbeAddress() - code_start_;
    table.functions = {{"SymbolProbeTarget", offset}, {"AfterProbe", offset + 1}};
    table.lines = {{42, offset}, {43, offset + 1}};
    WriteMap(table);
    ClearSymbolCache();
  }
  void TearDown() override {
    DeleteFileA(map_name_.c_str());
    ClearSymbolCache();
    SetNameHook({});
  }
  void WriteMap(const SymbolTable& table) {
    std::ofstream(map_name_, std::ios::binary) << WriteMapText(table);
  }
  // True when this program carries its own symbol block, which comes before the map file.
  bool HasEmbeddedBlock() const { return WinSymbolFiles().ModuleResource(module_).has_value(); }

  uint32_t module_ = 0;
  uint32_t code_start_ = 0;
  std::string map_name_;
};

TEST_F(SymbolDataWinTest, ReadsTheMapFileBesideTheProgram) {
  // Without the resource (as for a program built without its block) the map file is read.
  class NoResource : public WinSymbolFiles {
    std::optional<std::string> ModuleResource(uint32_t) const override { return std::nullopt; }
  };
  const TMapFile map = LoadMapFile(&LiveSpace(), module_, ModuleName(), NoResource());
  ASSERT_TRUE(map.valid());
  EXPECT_EQ(map.symbol_file_name(), map_name_);
  EXPECT_EQ(map.ExactName(ProbeAddress()), "SymbolProbeTarget");
  EXPECT_EQ(map.LineAt(ProbeAddress()), 42);
  EXPECT_EQ(map.SegmentAt(ProbeAddress()).unit_name, "symbol_data_win_test");
  EXPECT_EQ(SymbolProbeTarget(1), 4);
}

// Moves the last write time of a file by seconds; false when it cannot.
bool ShiftWriteTime(const std::string& name, int64_t seconds) {
  HANDLE file = CreateFileA(name.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME time;
  bool done = GetFileTime(file, nullptr, nullptr, &time);
  if (done) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += seconds * 10000000;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    done = SetFileTime(file, nullptr, nullptr, &time);
  }
  CloseHandle(file);
  return done;
}

TEST_F(SymbolDataWinTest, CacheKeepsDataUntilTheSymbolFileChanges) {
  const auto first = SymbolDataForAddress(ProbeAddress());
  ASSERT_TRUE(first->valid());
  EXPECT_EQ(SymbolDataForAddress(0), first);  // 0 is the main module
  EXPECT_EQ(SymbolDataForAddress(ProbeAddress()), first);
  // The program's own block comes before the map file; either is dated by its file.
  const std::string symbol_file = first->symbol_file_name();
  EXPECT_EQ(symbol_file, HasEmbeddedBlock() ? ModuleName() : map_name_);

  // A later write time (DOS times count in two-second steps) rebuilds the entry.
  ASSERT_TRUE(ShiftWriteTime(symbol_file, 4));
  const auto second = SymbolDataForAddress(ProbeAddress());
  ShiftWriteTime(symbol_file, -4);
  EXPECT_NE(second, first);
  EXPECT_TRUE(second->valid());
}

TEST_F(SymbolDataWinTest, NameHookNamesExactStarts) {
  InstallSymbolNameHook();
  // The program's own block gives the qualified name; the map file the plain one.
  EXPECT_NE(NameOf(LiveSpace(), ProbeAddress()).find("SymbolProbeTarget"), std::string::npos);
  EXPECT_EQ(NameOf(LiveSpace(), ProbeAddress() + 2), "");
  EXPECT_FALSE(SymbolDataForAddress(0x10)->valid());
}

TEST(LoadWholeFileTest, MissingAndPresentFiles) {
  EXPECT_FALSE(LoadWholeFile("no such file.txt"));
  const std::string name = ReplaceExtension(ModuleName(), ".whole");
  std::ofstream(name, std::ios::binary) << std::string("a\0b", 3);
  EXPECT_EQ(LoadWholeFile(name), std::string("a\0b", 3));
  EXPECT_NE(FileDosDateTime(name), 0u);
  DeleteFileA(name.c_str());
  EXPECT_EQ(FileDosDateTime(name), 0u);
}

}  // namespace
}  // namespace trace
