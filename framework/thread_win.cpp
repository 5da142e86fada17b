#include "framework/thread.h"

#include "framework/exception.h"
#include "framework/guard.h"

namespace fw {

TThread::TThread() {
  // Suspended: the subclass object is not complete before its constructor
  // ends, so Execute must not start from here.
  handle_ = CreateThread(nullptr, 0, StartRoutine, this, CREATE_SUSPENDED, &id_);
  if (!handle_) throw Exception("Thread creation error");
}

TThread::~TThread() {
  TerminateAndWait();
  CloseHandle(handle_);
}

void TThread::TerminateAndWait() {
  terminated_ = true;
  if (!started_) {
    // Never started: let the routine see that and return at once.
    started_ = true;
    ResumeThread(handle_);
  }
  WaitForSingleObject(handle_, INFINITE);
}

void TThread::Start() {
  if (started_) return;
  started_ = true;
  ResumeThread(handle_);
}

int TThread::WaitFor() {
  Start();
  WaitForSingleObject(handle_, INFINITE);
  return return_value_;
}

DWORD WINAPI TThread::StartRoutine(void* self) {
  auto* thread = static_cast<TThread*>(self);
  if (!thread->terminated_) {
    ExternalExceptionScope scope;
    try {
      thread->Execute();
    } catch (...) {
      thread->fatal_exception_ = std::current_exception();
    }
  }
  thread->finished_ = true;
  return static_cast<DWORD>(thread->return_value_);
}

}  // namespace fw
