#include "trace/stack/win/process_trace_state_win.h"

#include <windows.h>

#include <memory>
#include <mutex>

#include "trace/pe/win/live_address_space_win.h"
#include "trace/stack/win/code_patcher_win.h"
#include "trace/symbols/win/symbol_data_win.h"
#include "trace/system/win/os_info_win.h"

namespace trace {

namespace {

// The state with the patcher it writes through; the patcher outlives nothing it patched
// (its stubs stay in place).
struct ProcessState {
  WinCodePatcher patcher;
  TraceState state;

  ProcessState()
      : state(LiveSpace(), ProcessSymbolData(),
              static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))),
              OperatingSystem().is_9x, &patcher) {}
};

// Guards the reference count and the making and dropping of the state, not the traces.
std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

int references = 0;
std::unique_ptr<ProcessState> current;

}  // namespace

SymbolDataSource ProcessSymbolData() {
  return [](uint32_t base, const std::string&) -> std::shared_ptr<const TMapFile> {
    if (base == 0) return nullptr;  // 0 would name the main module
    std::shared_ptr<const TMapFile> map = SymbolDataForAddress(base);
    if (map == nullptr || !map->valid()) return nullptr;
    return map;
  };
}

void AcquireProcessTraceState() {
  const std::lock_guard<std::mutex> hold(Lock());
  ++references;
}

void ReleaseProcessTraceState() {
  const std::lock_guard<std::mutex> hold(Lock());
  if (references == 0) return;
  if (--references == 0) current.reset();
}

int ProcessTraceStateReferences() {
  const std::lock_guard<std::mutex> hold(Lock());
  return references;
}

TraceState& ProcessTraceState() {
  const std::lock_guard<std::mutex> hold(Lock());
  if (current == nullptr) current = std::make_unique<ProcessState>();
  return current->state;
}

}  // namespace trace
