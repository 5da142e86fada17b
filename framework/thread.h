// Threads: a class whose Execute runs on a thread of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>

#include "framework/object.h"

namespace fw {

// A thread running Execute. Whatever escapes Execute is caught at the
// thread's start routine and kept as FatalException; it never reaches
// system code. A subclass whose Execute uses its own members calls
// TerminateAndWait in its destructor, before those members go.
class TThread : public TObject {
 public:
  // Creates the thread suspended: Start runs Execute.
  TThread();
  // Terminates and waits (see TerminateAndWait), then closes the handle.
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread created suspended.
  void Start();
  // Asks Execute to end (it polls Terminated).
  void Terminate() { terminated_ = true; }
  // Sets Terminated, lets a never-started thread end and waits for the end.
  void TerminateAndWait();
  // Starts the thread if needed, waits for its end and returns ReturnValue.
  int WaitFor();
  // The thread id.
  DWORD ThreadId() const { return id_; }
  // The thread handle.
  HANDLE Handle() const { return handle_; }
  // The exception that ended Execute, or null.
  std::exception_ptr FatalException() const { return fatal_exception_; }
  // True once Execute has returned (or thrown).
  bool Finished() const { return finished_; }

 protected:
  // The thread's work; runs on the new thread.
  virtual void Execute() = 0;
  // True once Terminate was called.
  bool Terminated() const { return terminated_; }
  // Sets the value WaitFor returns.
  void SetReturnValue(int value) { return_value_ = value; }

 private:
  static DWORD WINAPI StartRoutine(void* self);

  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool started_ = false;
  int return_value_ = 0;
  std::exception_ptr fatal_exception_;
};

}  // namespace fw
