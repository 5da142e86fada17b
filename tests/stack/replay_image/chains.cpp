// Crash-like call chains for the stack tracer's replay tests. Every call that a test lays out
// on a stack carries a comment "site: Caller>Callee" on its line; the tests read the line
// numbers from here. The program is built, never run.
#include "chains.h"

#include <windows.h>

#include <cstdlib>

namespace chains {

volatile int sink;

// Reads through the address x: the innermost function of every chain.
CHAIN_STEP int Fault(int x) {
  return *reinterpret_cast<volatile int*>(x) + 1;  // site: Fault
}

// Alpha: three plain calls.
CHAIN_STEP int Alpha3(int x) {
  return Fault(x + 3) * 2;  // site: Alpha3>Fault
}
CHAIN_STEP int Alpha2(int x) {
  return Alpha3(x * 3) + sink;  // site: Alpha2>Alpha3
}
CHAIN_STEP int Alpha1(int x) {
  return Alpha2(x - 1) + sink;  // site: Alpha1>Alpha2
}

// Deep: eight levels over two units (the odd ones here, the even ones in helpers.cpp).
CHAIN_STEP int Deep7(int x) {
  return Deep8(x + 7) ^ sink;  // site: Deep7>Deep8
}
CHAIN_STEP int Deep5(int x) {
  return Deep6(x + 5) ^ sink;  // site: Deep5>Deep6
}
CHAIN_STEP int Deep3(int x) {
  return Deep4(x + 3) ^ sink;  // site: Deep3>Deep4
}
CHAIN_STEP int Deep1(int x) {
  return Deep2(x + 1) ^ sink;  // site: Deep1>Deep2
}

// Qsort: the comparator called back by msvcrt's qsort.
CHAIN_STEP int __cdecl CompareRecords(const void* a, const void* b) {
  const int difference = *static_cast<const int*>(a) - *static_cast<const int*>(b);
  return Fault(difference) + 1;  // site: CompareRecords>Fault
}
CHAIN_STEP int SortRecords(int* records, int count) {
  qsort(records, count, sizeof(int), CompareRecords);  // site: SortRecords>qsort
  return records[0] + sink;
}

// Windows: the enumeration procedure called back by user32's EnumWindows.
CHAIN_STEP BOOL CALLBACK EnumProc(HWND window, LPARAM data) {
  return Fault(static_cast<int>(data) + (window != nullptr)) != 0;  // site: EnumProc>Fault
}
CHAIN_STEP int ListWindows(int x) {
  EnumWindows(EnumProc, x);  // site: ListWindows>EnumWindows
  return sink;
}

// Pointer: a handler called through a table of function pointers.
CHAIN_STEP int HandleOpen(int x) {
  return Fault(x + 11) - 1;  // site: HandleOpen>Fault
}
CHAIN_STEP int HandleClose(int x) {
  return Fault(x + 12) - 2;
}
int (*const handlers[])(int) = {HandleOpen, HandleClose};
CHAIN_STEP int Dispatch(int command, int x) {
  return handlers[command & 1](x) + sink;  // site: Dispatch>HandleOpen
}

// Virtual: a virtual call through the object's table.
struct Shape {
  virtual ~Shape() = default;
  virtual int Area(int x) const = 0;
};
struct Square : Shape {
  CHAIN_STEP int Area(int x) const override {
    return Fault(x * x) + side;  // site: Square::Area>Fault
  }
  int side = 4;
};
CHAIN_STEP int MeasureShape(const Shape& shape, int x) {
  return shape.Area(x) + sink;  // site: MeasureShape>Area
}
CHAIN_STEP int UseShape(int x) {
  Square square;
  return MeasureShape(square, x) + 1;  // site: UseShape>MeasureShape
}

// Recursion of period 1.
CHAIN_STEP int Countdown(int n) {
  const int result = n <= 0 ? Fault(n)           // site: Countdown>Fault
                            : Countdown(n - 1);  // site: Countdown>Countdown
  sink = n;  // a store after the calls keeps them calls rather than a loop
  return result + 1;
}
CHAIN_STEP int StartCountdown(int n) {
  return Countdown(n) * 2;  // site: StartCountdown>Countdown
}

// Recursion of period 2.
CHAIN_STEP int IsOdd(int n);
CHAIN_STEP int IsEven(int n) {
  const int result = n <= 0 ? Fault(n)       // site: IsEven>Fault
                            : IsOdd(n - 1);  // site: IsEven>IsOdd
  sink = n;
  return result + 1;
}
CHAIN_STEP int IsOdd(int n) {
  const int result = n <= 0 ? Fault(n + 1) : IsEven(n - 1);  // site: IsOdd>IsEven
  sink = n;
  return result + 1;
}
CHAIN_STEP int StartParity(int n) {
  return IsEven(n) * 3;  // site: StartParity>IsEven
}

// Thread: a thread's start routine, the outermost item of its stack.
CHAIN_STEP int WorkStep(int x) {
  return Fault(x - 5) + 5;  // site: WorkStep>Fault
}
CHAIN_STEP int Worker(int x) {
  return WorkStep(x + 2) * 7;  // site: Worker>WorkStep
}
CHAIN_STEP DWORD WINAPI WorkerThread(void* parameter) {  // site: WorkerThread
  const int x = static_cast<int>(reinterpret_cast<INT_PTR>(parameter));
  return static_cast<DWORD>(Worker(x)) + 1;  // site: WorkerThread>Worker
}

// Stale: Gamma2 calls Prepare (which calls Measure) and then Gamma3, whose frame now lies
// where Prepare's frames were; Prepare's return address into Measure's caller stays behind.
CHAIN_STEP int Measure(int x) {
  return x * 3 + sink;
}
CHAIN_STEP int Prepare(int x) {
  return Measure(x) + 1;  // site: Prepare>Measure
}
CHAIN_STEP int Gamma3(int x) {
  volatile int buffer[16];
  buffer[x & 15] = x;
  return Fault(buffer[(x + 1) & 15]) + 1;  // site: Gamma3>Fault
}
CHAIN_STEP int Gamma2(int x) {
  const int prepared = Prepare(x);  // site: Gamma2>Prepare
  return Gamma3(prepared) + 2;      // site: Gamma2>Gamma3
}
CHAIN_STEP int Gamma1(int x) {
  return Gamma2(x + 1) - 1;  // site: Gamma1>Gamma2
}

// Window procedure: a stdcall function with its "@16" in the chain.
CHAIN_STEP LRESULT CALLBACK PaintWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  const int x = static_cast<int>(message + w + l) + (window != nullptr);
  return Fault(x) + 1;  // site: PaintWindow>Fault
}
CHAIN_STEP int PumpMessage(int x) {
  const LRESULT painted = PaintWindow(nullptr, WM_PAINT, x, 0);  // site: PumpMessage>PaintWindow
  return static_cast<int>(painted) + sink;
}

// Delta: a chain whose innermost function is a callee of an indirect call that left its
// return address in an outer frame before (a stale return point of a call with unknown
// target).
CHAIN_STEP int Delta2(int x) {
  return Fault(x + 13) + 3;  // site: Delta2>Fault
}
CHAIN_STEP int Delta1(int x) {
  const int first = Dispatch(0, x);  // site: Delta1>Dispatch
  return Delta2(first) + 1;          // site: Delta1>Delta2
}

}  // namespace chains

int main(int argc, char**) {
  using namespace chains;
  int records[4] = {argc, 3, 2, 1};
  return Alpha1(argc) + Deep1(argc) + SortRecords(records, 4) + ListWindows(argc) +
         Dispatch(argc, argc) + UseShape(argc) + StartCountdown(argc) + StartParity(argc) +
         Gamma1(argc) + PumpMessage(argc) + Delta1(argc) +
         static_cast<int>(reinterpret_cast<INT_PTR>(
             CreateThread(nullptr, 0, WorkerThread, nullptr, 0, nullptr)));
}
