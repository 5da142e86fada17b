#include "tools/stacktrace_self_win.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdint>
#include <vector>

#include "trace/stack/win/stack_trace_win.h"

namespace tools {

namespace {

HANDLE release_event = nullptr;
HANDLE waiting_event = nullptr;

// A worker in a known call chain, so that the live trace has frames of ours to show.
__attribute__((noipa)) DWORD WaitForRelease() {
  SetEvent(waiting_event);
  return WaitForSingleObject(release_event, INFINITE);
}

__attribute__((noipa)) DWORD WaitInChain(int depth) {
  if (depth == 0) return WaitForRelease();
  const DWORD result = WaitInChain(depth - 1);
  return result + 1;  // keeps the call from becoming a jump
}

DWORD WINAPI WorkerStart(void*) {
  return WaitInChain(3);
}

// The top of the stack region that holds esp: for a thread's stack the StackBase.
void* StackTopAt(uint32_t esp) {
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(reinterpret_cast<void*>(esp), &region, sizeof region) != sizeof region)
    return nullptr;
  return static_cast<char*>(region.BaseAddress) + region.RegionSize;
}

// Traces the other thread id from its context while it is suspended; empty when it cannot be
// opened or read.
std::string TraceOtherThread(DWORD id, bool hide, bool relative) {
  HANDLE thread =
      OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, id);
  if (thread == nullptr) return {};
  std::string text;
  if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (GetThreadContext(thread, &context)) {
      void* top = StackTopAt(context.Esp);
      if (top != nullptr) {
        text = trace::StackTrace(hide, relative, reinterpret_cast<void*>(context.Eip), false, false,
                                 reinterpret_cast<void*>(context.Esp), top, nullptr, nullptr,
                                 nullptr, nullptr);
      }
    }
    ResumeThread(thread);
  }
  CloseHandle(thread);
  return text;
}

}  // namespace

std::vector<OwnThreadTrace> TraceOwnThreads(bool hide, bool relative) {
  release_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  waiting_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE worker = CreateThread(nullptr, 0, WorkerStart, nullptr, 0, nullptr);
  if (worker != nullptr) WaitForSingleObject(waiting_event, 5000);

  std::vector<OwnThreadTrace> traces;
  traces.push_back({GetCurrentThreadId(), true,
                    trace::StackTrace(hide, relative, nullptr, false, false, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr)});
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID != GetCurrentProcessId() ||
          entry.th32ThreadID == GetCurrentThreadId())
        continue;
      traces.push_back(
          {entry.th32ThreadID, false, TraceOtherThread(entry.th32ThreadID, hide, relative)});
    }
    CloseHandle(snapshot);
  }

  SetEvent(release_event);
  if (worker != nullptr) {
    WaitForSingleObject(worker, 5000);
    CloseHandle(worker);
  }
  CloseHandle(release_event);
  CloseHandle(waiting_event);
  return traces;
}

}  // namespace tools
