#include "tests/crash/thread_creators_win.h"

#include <process.h>

namespace crash_test {

WaitingThreads g_waiting;

namespace {

void WaitHere() {
  g_waiting.last_id = static_cast<LONG>(GetCurrentThreadId());
  SetEvent(g_waiting.started);
  WaitForSingleObject(g_waiting.release, INFINITE);
}

DWORD WINAPI WaitingRoutine(void*) {
  WaitHere();
  return 0;
}

unsigned __stdcall WaitingRoutineEx(void*) {
  WaitHere();
  return 0;
}

}  // namespace

void TWaitingThread::Execute() {
  WaitHere();
}

#define CREATOR(marker) __attribute__((noinline, section(".text$crash_creators_" marker)))

CREATOR("a") uint32_t CreatorsBegin() {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&CreatorsBegin));
}

CREATOR("b") HANDLE CreateWithCreateThread(DWORD* id) {
  return CreateThread(nullptr, 0, WaitingRoutine, nullptr, 0, id);
}

CREATOR("b") std::thread* CreateWithStdThread() {
  return new std::thread(WaitHere);
}

CREATOR("b") uintptr_t CreateWithBeginThreadEx(unsigned* id) {
  return _beginthreadex(nullptr, 0, WaitingRoutineEx, nullptr, 0, id);
}

CREATOR("b") TWaitingThread* CreateWithThreadObject() {
  return new TWaitingThread;
}

CREATOR("c") uint32_t CreatorsEnd() {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&CreatorsEnd));
}

}  // namespace crash_test
