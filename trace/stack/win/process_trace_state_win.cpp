#include "trace/stack/win/process_trace_state_win.h"

#include <windows.h>

#include <memory>
#include <mutex>

#include "trace/stack/win/code_patcher_win.h"
#include "trace/stack/win/process_memory_win.h"
#include "trace/symbols/win/symbol_data_win.h"
#include "trace/system/win/os_info_win.h"

namespace trace {

namespace {

// The process's code patcher; the cached pages of the process forget what it rewrote.
class ProcessPatcher : public CodePatcher {
 public:
  explicit ProcessPatcher(ProcessMemory& memory) : memory_(memory) {}
  uint32_t RedirectCall(uint32_t call_address, uint32_t target) override {
    const uint32_t stub = patcher_.RedirectCall(call_address, target);
    if (stub != 0) memory_.Forget();
    return stub;
  }

 private:
  WinCodePatcher patcher_;
  ProcessMemory& memory_;
};

// The state with the memory it reads and the patcher it writes through; stubs stay in place
// when it goes.
struct ProcessState {
  ProcessMemory memory;
  ProcessPatcher patcher{memory};
  TraceState state;

  ProcessState()
      : state(memory, ProcessSymbolData(),
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

void ForgetProcessMemory() {
  const std::lock_guard<std::mutex> hold(Lock());
  if (current != nullptr) current->memory.Forget();
}

}  // namespace trace
