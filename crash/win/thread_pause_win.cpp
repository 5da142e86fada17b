#include "crash/win/thread_pause_win.h"

#include <algorithm>
#include <utility>

#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_enumeration_win.h"
#include "framework/guard.h"

namespace crash {

namespace {

struct ExemptThread {
  uint32_t id;
  HANDLE handle;  // with synchronise right
};

// Built before the reporter starts and gone only after it stopped (see the reporter's start-up).
std::vector<uint32_t> g_snapshot __attribute__((init_priority(101)));
// The threads this pause suspended: only they are resumed, so that a thread that stayed
// running (or was suspended by the application itself) is never resumed by the pause.
std::vector<uint32_t> g_suspended __attribute__((init_priority(101)));
std::vector<ExemptThread> g_exempt __attribute__((init_priority(101)));

bool Taken(DWORD wait) {
  return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

bool IsExempt(uint32_t id) {
  return std::any_of(g_exempt.begin(), g_exempt.end(),
                     [&](const ExemptThread& t) { return t.id == id; });
}

void SuspendOrResumeSnapshot(bool suspend) {
  const uint32_t self = GetCurrentThreadId();
  for (const uint32_t id : g_snapshot) {
    if (id == self || IsExempt(id)) continue;
    // A thread in the middle of raising a fault is left running: it soon waits for its
    // own report, and stopping it inside the system's exception dispatch is not safe.
    if (suspend && fw::IsRaisingFault(id)) continue;
    const auto was_suspended = std::find(g_suspended.begin(), g_suspended.end(), id);
    if (!suspend && was_suspended == g_suspended.end()) continue;
    const HANDLE thread = OpenThreadById(id, THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT);
    if (thread == nullptr) continue;
    if (suspend) {
      if (SuspendGuarded(thread)) g_suspended.push_back(id);
    } else if (ResumeThread(thread) != static_cast<DWORD>(-1)) {
      g_suspended.erase(was_suspended);
    }
    CloseHandle(thread);
  }
}

// The heaps the program allocates from: the process's and the C runtime's. While the
// pausing thread holds their locks, no other thread is inside them, so none is suspended
// with a heap's lock held (the composition that follows allocates, and would wait for
// ever). The locks are the owner's again at once: its own allocations go on.
class HeapsLocked {
 public:
  HeapsLocked() {
    heaps_[0] = GetProcessHeap();
    heaps_[1] = RuntimeHeap();
    if (heaps_[1] == heaps_[0]) heaps_[1] = nullptr;
    for (HANDLE& heap : heaps_) {
      if (heap != nullptr && !HeapLock(heap)) heap = nullptr;
    }
  }
  ~HeapsLocked() {
    for (HANDLE heap : heaps_) {
      if (heap != nullptr) HeapUnlock(heap);
    }
  }
  HeapsLocked(const HeapsLocked&) = delete;
  HeapsLocked& operator=(const HeapsLocked&) = delete;

 private:
  // msvcrt's own heap (malloc and operator new allocate there), when it tells it.
  static HANDLE RuntimeHeap() {
    using GetHeapHandle = intptr_t(__cdecl*)();
    const HMODULE msvcrt = GetModuleHandleA("msvcrt.dll");
    const auto get = msvcrt ? reinterpret_cast<GetHeapHandle>(reinterpret_cast<void*>(
                                  GetProcAddress(msvcrt, "_get_heap_handle")))
                            : nullptr;
    return get ? reinterpret_cast<HANDLE>(get()) : nullptr;
  }

  HANDLE heaps_[2] = {};
};

}  // namespace

bool SuspendGuarded(HANDLE thread) {
  const HANDLE class_mutex = ThreadClassMutex();
  const HANDLE registry_mutex = RegistryMutex();
  const bool class_taken =
      class_mutex != nullptr && Taken(WaitForSingleObject(class_mutex, kSuspendGuardWaitMs));
  const bool registry_taken = class_taken && registry_mutex != nullptr &&
                              Taken(WaitForSingleObject(registry_mutex, kSuspendGuardWaitMs));
  bool suspended = false;
  if (registry_taken) {
    // After the mutexes, which a thread may hold while it allocates: the same order as
    // theirs.
    const HeapsLocked heaps;
    suspended = SuspendThread(thread) != static_cast<DWORD>(-1);
    // The suspension may take hold later than the call returns; reading the context
    // waits for it, so the thread is stopped before the heaps are free again.
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    if (suspended) GetThreadContext(thread, &context);
  }
  if (registry_taken) ReleaseMutex(registry_mutex);
  if (class_taken) ReleaseMutex(class_mutex);
  return suspended;
}

void PauseOtherThreads(bool enumerate) {
  if (enumerate) g_snapshot = EnumerateProcessThreads();
  SuspendOrResumeSnapshot(true);
}

void ResumeOtherThreads(bool enumerate) {
  SuspendOrResumeSnapshot(false);
  if (!enumerate) return;
  for (const uint32_t id : EnumerateProcessThreads()) {
    if (std::find(g_snapshot.begin(), g_snapshot.end(), id) != g_snapshot.end()) continue;
    if (IsExempt(id)) continue;
    if (const HANDLE handle = OpenThreadById(id, SYNCHRONIZE)) g_exempt.push_back({id, handle});
  }
  g_snapshot.clear();
}

void DropEndedExemptThreads() {
  for (size_t i = 0; i < g_exempt.size();) {
    if (WaitForSingleObject(g_exempt[i].handle, 0) == WAIT_OBJECT_0) {
      CloseHandle(g_exempt[i].handle);
      // The last entry takes the freed place.
      g_exempt[i] = g_exempt.back();
      g_exempt.pop_back();
    } else {
      ++i;
    }
  }
}

void ReleaseExemptThreads() {
  for (const ExemptThread& thread : g_exempt)
    CloseHandle(thread.handle);
  g_exempt.clear();
}

std::vector<uint32_t> ExemptThreadIds() {
  std::vector<uint32_t> ids;
  for (const ExemptThread& thread : g_exempt)
    ids.push_back(thread.id);
  return ids;
}

}  // namespace crash
