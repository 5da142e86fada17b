// Threads of this program held in known call chains, so that a test can suspend them and
// compare their traces with the calls they made. The chains are compiled with -O2
// -fomit-frame-pointer: no frame pointer links them, only their return addresses do.
//
// Each chain function records the line of the call it makes in CallLine() just before the
// call, so that the expected line numbers are the source's own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace chains {

// The calls the chains make, each recorded by the line it is written on.
enum CallSite {
  kSpinStartCallsLevel1,      // SpinStart -> SpinLevel1
  kSpinLevel1CallsLevel2,     // SpinLevel1 -> SpinLevel2
  kSpinLevel2CallsLevel3,     // SpinLevel2 -> SpinLevel3 (which spins)
  kWaitStartCallsLevel1,      // WaitStart -> WaitLevel1
  kWaitLevel1CallsLevel2,     // WaitLevel1 -> WaitLevel2
  kWaitLevel2CallsWait,       // WaitLevel2 -> WaitForSingleObject
  kSortStartCallsSort,        // SortStart -> SortWithCallback
  kSortCallsQsort,            // SortWithCallback -> qsort
  kCompareCallsHold,          // CompareAndHold -> HoldInCallback (which spins)
  kRecurseStartCallsRecurse,  // RecurseStart -> Recurse
  kRecurseCallsItself,        // Recurse -> Recurse
  kSelfCallerCallsSelf,       // TraceOwnStackCaller -> TraceOwnStack
  kSelfCallsStackTrace,       // TraceOwnStack -> trace::StackTrace
  kCallSiteCount
};

// The source line of a call site; 0 until the chain has run past it.
int CallLine(CallSite site);

// The thread start routines: each one's chain ends in a spin on the release flag or, for
// WaitStart, in a wait for the release event.
DWORD WINAPI SpinStart(void* unused);
DWORD WINAPI WaitStart(void* unused);
DWORD WINAPI SortStart(void* unused);
DWORD WINAPI RecurseStart(void* unused);

// The functions of the chains, innermost last, for the names a test expects.
int SpinLevel1(int value);
int SpinLevel2(int value);
int SpinLevel3(int value);
int WaitLevel1(int value);
int WaitLevel2(int value);
int SortWithCallback(int value);
int __cdecl CompareAndHold(const void* left, const void* right);
int HoldInCallback(int value);
int Recurse(int depth);

// How deep Recurse goes below RecurseStart.
inline constexpr int kRecursionDepth = 6;

// One thread of a chain, started and held in place.
struct HeldThread {
  HANDLE handle = nullptr;
  uint32_t stack_base = 0;  // StackBase of its thread information block
  void* start = nullptr;    // its start routine
};

// Starts a thread at start and returns once it has reached the innermost function of its
// chain (the spin or the wait).
HeldThread StartHeldThread(LPTHREAD_START_ROUTINE start);
// Lets every held thread end, and waits for them.
void ReleaseHeldThreads(HeldThread* threads, int count);

// Traces the calling thread's own stack with every pointer argument left null, from two
// levels of calls below the caller, into text. (Functions returning std::string carry
// "[abi:cxx11]" in their names.)
void TraceOwnStackCaller(std::string& text);
void TraceOwnStack(std::string& text);

}  // namespace chains
