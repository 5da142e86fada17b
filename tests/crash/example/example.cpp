// A console program that crashes: the reporter prints its report on standard output.
#include <cstdio>

int* volatile g_nowhere = nullptr;

__attribute__((noinline)) int ReadNowhere() {
  return *g_nowhere;
}

int main() {
  std::puts("about to crash");
  std::fflush(stdout);  // the crash ends the process before the runtime would
  return ReadNowhere();
}
