// Functions that create threads in every way the process has, kept together between two
// markers so that a test can tell whether a creation address lies inside them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <thread>

#include "framework/thread.h"

namespace crash_test {

// The threads' shared state: each thread stores its id and waits for the release event.
struct WaitingThreads {
  HANDLE release = nullptr;   // manual-reset event the threads wait on
  volatile LONG last_id = 0;  // id of the thread that started last
  HANDLE started = nullptr;   // auto-reset event set by each thread once it has its id
};
extern WaitingThreads g_waiting;

// A framework thread object that waits for the release.
class TWaitingThread : public fw::TThread {
 protected:
  void Execute() override;
};

// The code range of the creators below: [begin, end).
uint32_t CreatorsBegin();
uint32_t CreatorsEnd();

HANDLE CreateWithCreateThread(DWORD* id);
std::thread* CreateWithStdThread();
uintptr_t CreateWithBeginThreadEx(unsigned* id);
TWaitingThread* CreateWithThreadObject();

}  // namespace crash_test
