#include "tests/stack/known_call_chains_win.h"

#include <cstdlib>

#include "trace/stack/win/stack_trace_win.h"

// noipa keeps every function a function of its own, called where the source calls it; the
// arithmetic after each call keeps the calls from becoming jumps.
#define CHAIN_FUNCTION __attribute__((noipa))
// Records the line below as the line of site's call.
#define NEXT_LINE_CALLS(site) call_lines[site] = __LINE__ + 1

namespace chains {

namespace {

volatile int call_lines[kCallSiteCount];

// What a starting thread reports to its starter.
struct Launch {
  HANDLE arrived = nullptr;  // set once the thread is at the innermost function
  uint32_t stack_base = 0;
};
thread_local Launch* own_launch = nullptr;

volatile LONG release = 0;
HANDLE release_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
volatile LONG callback_held = 0;
volatile int sink = 0;

// Tells the starter that the thread has arrived (once).
void Arrive() {
  Launch* launch = own_launch;
  own_launch = nullptr;
  if (launch != nullptr) SetEvent(launch->arrived);
}

// Spins in the function it is inlined into until the threads are released. The loop runs
// no code outside this program's module.
__attribute__((always_inline)) inline void SpinHere() {
  Arrive();
  while (release == 0) {
  }
}

void Started(void* launch) {
  own_launch = static_cast<Launch*>(launch);
  uint32_t stack_base;  // StackBase of the thread information block at fs:0
  asm volatile("movl %%fs:4, %0" : "=r"(stack_base));
  own_launch->stack_base = stack_base;
}

}  // namespace

int CallLine(CallSite site) {
  return call_lines[site];
}

CHAIN_FUNCTION int SpinLevel3(int value) {
  SpinHere();
  return value + 3;
}

CHAIN_FUNCTION int SpinLevel2(int value) {
  NEXT_LINE_CALLS(kSpinLevel2CallsLevel3);
  return SpinLevel3(value * 2) + 2;
}

CHAIN_FUNCTION int SpinLevel1(int value) {
  NEXT_LINE_CALLS(kSpinLevel1CallsLevel2);
  return SpinLevel2(value + 7) + 1;
}

CHAIN_FUNCTION DWORD WINAPI SpinStart(void* launch) {
  Started(launch);
  NEXT_LINE_CALLS(kSpinStartCallsLevel1);
  sink = SpinLevel1(1);
  return 0;
}

CHAIN_FUNCTION int WaitLevel2(int value) {
  Arrive();
  NEXT_LINE_CALLS(kWaitLevel2CallsWait);
  WaitForSingleObject(release_event, INFINITE);
  return value + 2;
}

CHAIN_FUNCTION int WaitLevel1(int value) {
  NEXT_LINE_CALLS(kWaitLevel1CallsLevel2);
  return WaitLevel2(value * 3) + 1;
}

CHAIN_FUNCTION DWORD WINAPI WaitStart(void* launch) {
  Started(launch);
  NEXT_LINE_CALLS(kWaitStartCallsLevel1);
  sink = WaitLevel1(2);
  return 0;
}

CHAIN_FUNCTION int HoldInCallback(int value) {
  SpinHere();
  return value + 5;
}

CHAIN_FUNCTION int __cdecl CompareAndHold(const void* left, const void* right) {
  const int a = *static_cast<const int*>(left);
  const int b = *static_cast<const int*>(right);
  if (InterlockedExchange(&callback_held, 1) == 0) {
    NEXT_LINE_CALLS(kCompareCallsHold);
    sink = HoldInCallback(a) + 1;
  }
  return (a > b) - (a < b);
}

CHAIN_FUNCTION int SortWithCallback(int value) {
  int values[4] = {value + 3, value, value + 2, value + 1};
  NEXT_LINE_CALLS(kSortCallsQsort);
  std::qsort(values, 4, sizeof values[0], CompareAndHold);
  return values[0] + values[3];
}

CHAIN_FUNCTION DWORD WINAPI SortStart(void* launch) {
  Started(launch);
  NEXT_LINE_CALLS(kSortStartCallsSort);
  sink = SortWithCallback(4);
  return 0;
}

CHAIN_FUNCTION int Recurse(int depth) {
  if (depth == 0) {
    SpinHere();
    return 1;
  }
  volatile int kept = depth;  // read after the call: the recursion cannot become a loop
  NEXT_LINE_CALLS(kRecurseCallsItself);
  const int inner = Recurse(depth - 1);
  return inner + kept;
}

CHAIN_FUNCTION DWORD WINAPI RecurseStart(void* launch) {
  Started(launch);
  NEXT_LINE_CALLS(kRecurseStartCallsRecurse);
  sink = Recurse(kRecursionDepth);
  return 0;
}

HeldThread StartHeldThread(LPTHREAD_START_ROUTINE start) {
  auto* launch = new Launch;
  launch->arrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HeldThread held;
  held.start = reinterpret_cast<void*>(start);
  held.handle = CreateThread(nullptr, 0, start, launch, 0, nullptr);
  if (held.handle == nullptr || WaitForSingleObject(launch->arrived, 10000) != WAIT_OBJECT_0) {
    // A thread that has not arrived yet may still do so: it keeps its launch record.
    return held;
  }
  held.stack_base = launch->stack_base;
  CloseHandle(launch->arrived);
  delete launch;
  return held;
}

void ReleaseHeldThreads(HeldThread* threads, int count) {
  release = 1;
  SetEvent(release_event);
  for (int i = 0; i < count; ++i) {
    if (threads[i].handle == nullptr) continue;
    WaitForSingleObject(threads[i].handle, 10000);
    CloseHandle(threads[i].handle);
    threads[i].handle = nullptr;
  }
  release = 0;
  callback_held = 0;
  ResetEvent(release_event);
}

CHAIN_FUNCTION void TraceOwnStack(std::string& text) {
  NEXT_LINE_CALLS(kSelfCallsStackTrace);
  text = trace::StackTrace(false, false, nullptr, false, false, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr);
  sink = 2;
}

CHAIN_FUNCTION void TraceOwnStackCaller(std::string& text) {
  NEXT_LINE_CALLS(kSelfCallerCallsSelf);
  TraceOwnStack(text);
  sink = 1;
}

}  // namespace chains
