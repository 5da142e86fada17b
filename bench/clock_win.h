// The benchmarks' clock: seconds from the performance counter.
#pragma once

#include <windows.h>

namespace bench {

// Seconds since an arbitrary start; only differences mean something.
inline double Now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

}  // namespace bench
