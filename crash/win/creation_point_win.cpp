#include "crash/win/creation_point_win.h"

#include <pthread.h>
#include <unwind.h>

#include <array>
#include <thread>

namespace crash {

namespace {

struct Frame {
  uint32_t ip = 0;        // the return address into the frame's function
  uint32_t function = 0;  // the function's start, 0 when unknown
};

constexpr int kMaxFrames = 24;

struct FrameList {
  std::array<Frame, kMaxFrames> frames;
  int count = 0;
};

_Unwind_Reason_Code CollectFrame(_Unwind_Context* context, void* argument) {
  auto* list = static_cast<FrameList*>(argument);
  if (list->count == kMaxFrames) return _URC_END_OF_STACK;
  list->frames[list->count++] = {static_cast<uint32_t>(_Unwind_GetIP(context)),
                                 static_cast<uint32_t>(_Unwind_GetRegionStart(context))};
  return _URC_NO_REASON;
}

// std::thread's private start routine, named through an explicit instantiation (which may
// name private members) so that its frames can be recognised.
using StartThreadMember = void (std::thread::*)(std::thread::_State_ptr, void (*)());
StartThreadMember StartThreadOfStd();
template <StartThreadMember member>
struct StartThreadName {
  friend StartThreadMember StartThreadOfStd() { return member; }
};
template struct StartThreadName<&std::thread::_M_start_thread>;

uint32_t StdThreadStart() {
  // A non-virtual member function pointer holds the function's address in its first word.
  const StartThreadMember member = StartThreadOfStd();
  uint32_t address = 0;
  static_assert(sizeof(member) >= sizeof(address));
  __builtin_memcpy(&address, &member, sizeof(address));
  return address;
}

bool IsThreadStartingRoutine(uint32_t function) {
  static const uint32_t pthread =
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&pthread_create));
  static const uint32_t std_thread = StdThreadStart();
  return function != 0 && (function == pthread || function == std_thread);
}

}  // namespace

__attribute__((noinline)) uint32_t CreationPoint(uint32_t return_address, int extra_frames) {
  FrameList list;
  _Unwind_Backtrace(CollectFrame, &list);
  int at = 0;
  while (at < list.count && list.frames[at].ip != return_address)
    ++at;
  if (at == list.count) return return_address;
  while (at + 1 < list.count && IsThreadStartingRoutine(list.frames[at].function))
    ++at;
  for (; extra_frames > 0 && at + 1 < list.count; --extra_frames)
    ++at;
  return list.frames[at].ip;
}

}  // namespace crash
