// The process's trace state: its parts, the symbol data it keeps, and its lifetime under the
// reference count.
#include "trace/stack/win/process_trace_state_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "trace/pe/win/live_address_space_win.h"
#include "trace/system/win/os_info_win.h"

namespace trace {
namespace {

uint32_t Handle(HMODULE module) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module));
}

volatile uint32_t watched = 1;

TEST(ProcessTraceState, ReadsTheLiveProcessWithTheProgramAsMainModule) {
  TraceState& state = ProcessTraceState();
  EXPECT_EQ(state.main_module(), Handle(GetModuleHandleA(nullptr)));
  EXPECT_EQ(state.is_9x(), OperatingSystem().is_9x);
  // The process as it was when a trace began, until the next one begins.
  const uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&watched));
  ForgetProcessMemory();
  EXPECT_EQ(state.memory().ReadDword(address), 1u);
  watched = 2;
  EXPECT_EQ(state.memory().ReadDword(address), 1u);
  ForgetProcessMemory();
  EXPECT_EQ(state.memory().ReadDword(address), 2u);
  // Modules and export names as the live address space gives them.
  const uint32_t sleep = static_cast<uint32_t>(
      reinterpret_cast<uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep")));
  EXPECT_EQ(state.memory().ExportName(sleep), LiveSpace().ExportName(sleep));
  EXPECT_EQ(state.memory().ExportName(sleep + 1), "");
  ASSERT_TRUE(state.memory().ModuleOf(sleep).has_value());
  EXPECT_EQ(state.memory().ModuleOf(sleep)->base, LiveSpace().ModuleOf(sleep)->base);
  EXPECT_EQ(state.memory().ModuleOf(sleep)->path, LiveSpace().ModuleOf(sleep)->path);
  ASSERT_TRUE(state.memory().ModuleOf(address).has_value());
  EXPECT_TRUE(state.memory().ModuleOf(address)->is_main);
  const uint32_t heap = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&state));
  EXPECT_FALSE(state.memory().ModuleOf(heap).has_value());
}

TEST(ProcessTraceState, KeepsTheProgramsEmbeddedSymbolDataAndNoneForASystemModule) {
  ModuleList& modules = ProcessTraceState().modules();
  const int program = modules.Register(Handle(GetModuleHandleA(nullptr)));
  ASSERT_GE(program, 0);
  const std::shared_ptr<const TMapFile>& map = modules.modules()[program].map;
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->valid());
  const int kernel = modules.Register(Handle(GetModuleHandleA("kernel32.dll")));
  ASSERT_GE(kernel, 0);
  EXPECT_EQ(modules.modules()[kernel].map, nullptr);
}

TEST(ProcessTraceState, LastReleaseStartsAFreshState) {
  const uint32_t program = Handle(GetModuleHandleA(nullptr));
  ReleaseProcessTraceState();  // without an acquire: nothing happens
  EXPECT_EQ(ProcessTraceStateReferences(), 0);
  AcquireProcessTraceState();
  AcquireProcessTraceState();
  ASSERT_GE(ProcessTraceState().modules().Register(program), 0);
  ProcessTraceState().functions().FindFunction(program + 0x1000, "", -1, true, true);
  ReleaseProcessTraceState();
  EXPECT_EQ(ProcessTraceStateReferences(), 1);
  EXPECT_GE(ProcessTraceState().modules().IndexOfHandle(program), 0);
  EXPECT_FALSE(ProcessTraceState().functions().functions().empty());
  ReleaseProcessTraceState();
  EXPECT_EQ(ProcessTraceStateReferences(), 0);
  EXPECT_TRUE(ProcessTraceState().modules().modules().empty());
  EXPECT_TRUE(ProcessTraceState().functions().functions().empty());
}

}  // namespace
}  // namespace trace
