#include "crash/win/interception_win.h"

#include <float.h>
#include <signal.h>

#include <atomic>
#include <exception>
#include <string>

#include "crash/cpp_exception.h"
#include "crash/crash_reporter.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/thread_exception_seam_win.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/guard.h"

namespace crash {

namespace {

uint32_t g_main_thread_id = 0;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
std::terminate_handler g_previous_terminate = nullptr;
void (*g_previous_abort)(int) = nullptr;
ThreadExceptionReporter g_previous_thread_reporter = nullptr;
fw::ApplicationExceptionHook g_previous_application_hook = nullptr;

// The runtime errors end the process once: a second one while the first is being reported
// (an abort from inside terminate) ends it at once.
std::atomic<int> g_fatal_errors{0};

// The stack position of the caller of the function that uses it.
#define CALLER_FRAME() \
  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)))

// Reports a runtime error that ends the program, then ends it with the exit code of abort.
[[noreturn]] void ReportFatalError(ReportedException exception, uint32_t frame) {
  if (g_fatal_errors++ == 0) {
    ReportException(false, &exception, 0, frame, false);
  }
  TerminateProcess(GetCurrentProcess(), 3);
  for (;;) {
  }
}

// The handler of last resort of every thread.
LONG WINAPI TopLevelFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  asm volatile("cld");
  _fpreset();
  const ReportedException exception = DescribeSystemException(*record);
  const bool main_thread = GetCurrentThreadId() == g_main_thread_id;
  ReportException(false, &exception,
                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record->ExceptionAddress)),
                  pointers->ContextRecord->Esp, !main_thread);
  RemoveThread(GetCurrentThreadId());
  if (main_thread) {
    // Without its main thread the program has no window and no loop left; the handling
    // thread would keep the process alive for ever.
    TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
  }
  ExitThread(0);
}

[[noreturn]] void OnTerminate() {
  const std::exception_ptr current = std::current_exception();
  ReportFatalError(current ? DescribeCppException(current)
                           : RuntimeError("terminate called without an active exception"),
                   CALLER_FRAME());
}

void OnAbortSignal(int) {
  ReportFatalError(RuntimeError("Abnormal program termination"), CALLER_FRAME());
}

void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
  const ReportedException exception =
      RuntimeError("Invalid parameter passed to a C runtime function");
  ReportException(false, &exception, 0, CALLER_FRAME(), false);
}

// A processor fault raised as an exception and caught at a boundary: the stack copy the
// raise kept becomes the exception's, and the trace starts at the faulting instruction's
// stack position. Other exceptions start at the boundary's frame.
uint32_t KeepRaisedStack(ReportedException& exception, uint32_t address, uint32_t frame) {
  const fw::RaisedFault& raised = fw::LastRaisedFault();
  if (address == 0 || raised.address != address || raised.stack.empty()) return frame;
  exception.stack_copy_base = raised.stack_pointer;
  exception.stack_copy = raised.stack;
  return raised.stack_pointer;
}

void OnThreadException(const ThreadException& escaped) {
  ReportedException exception = DescribeCppException(escaped.exception);
  const uint32_t frame = KeepRaisedStack(exception, escaped.address, escaped.stack_frame);
  ReportException(false, &exception, escaped.address, frame, true);
}

// The application object's handler and display: the exception in flight when there is
// one (it keeps its own class), else the one given.
bool OnApplicationException(fw::TObject*, const fw::Exception& given) {
  if (const HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
  const std::exception_ptr current = std::current_exception();
  ReportedException exception;
  if (current) exception = DescribeCppException(current);
  if (exception.class_names.empty()) {
    exception.class_names = given.ClassNames();
    exception.message = given.Message();
  }
  uint32_t address = 0;
  if (const auto* external = dynamic_cast<const fw::EExternal*>(&given)) {
    address = external->Address();
  }
  const uint32_t frame = KeepRaisedStack(exception, address, CALLER_FRAME());
  ReportException(false, &exception, address, frame, true);
  return true;
}

using InvalidParameterHandler = void (*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned,
                                         uintptr_t);
using SetInvalidParameterHandlerFn = InvalidParameterHandler (*)(InvalidParameterHandler);

// msvcrt's _set_invalid_parameter_handler, when the system's msvcrt has one.
SetInvalidParameterHandlerFn InvalidParameterSetter() {
  const HMODULE msvcrt = GetModuleHandleA("msvcrt.dll");
  return msvcrt ? reinterpret_cast<SetInvalidParameterHandlerFn>(reinterpret_cast<void*>(
                      GetProcAddress(msvcrt, "_set_invalid_parameter_handler")))
                : nullptr;
}

InvalidParameterHandler g_previous_invalid_parameter = nullptr;

}  // namespace

uint32_t MainThreadId() {
  return g_main_thread_id;
}

ReportedException DescribeSystemException(const EXCEPTION_RECORD& record) {
  const uint32_t code = record.ExceptionCode;
  const uint32_t address =
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record.ExceptionAddress));
  const bool has_target = record.NumberParameters >= 2;
  const bool write = has_target && record.ExceptionInformation[0] != 0;
  const uint32_t target = has_target ? static_cast<uint32_t>(record.ExceptionInformation[1]) : 0;
  ReportedException exception;
  exception.class_names = SystemExceptionClasses(code);
  exception.message = fw::SystemExceptionMessage(
      code, address, code == EXCEPTION_ACCESS_VIOLATION ? fw::ModuleFileNameAt(address) : "", write,
      target);
  return exception;
}

void InstallInterception() {
  g_main_thread_id = GetCurrentThreadId();
  g_previous_filter = SetUnhandledExceptionFilter(TopLevelFilter);
  g_previous_terminate = std::set_terminate(OnTerminate);
  g_previous_abort = signal(SIGABRT, OnAbortSignal);
  if (const SetInvalidParameterHandlerFn setter = InvalidParameterSetter()) {
    g_previous_invalid_parameter = setter(OnInvalidParameter);
  }
  g_previous_thread_reporter = SetThreadExceptionReporter(OnThreadException);
  g_previous_application_hook = fw::SetApplicationExceptionHook(OnApplicationException);
}

void RemoveInterception() {
  fw::SetApplicationExceptionHook(g_previous_application_hook);
  SetThreadExceptionReporter(g_previous_thread_reporter);
  if (const SetInvalidParameterHandlerFn setter = InvalidParameterSetter()) {
    setter(g_previous_invalid_parameter);
  }
  signal(SIGABRT, g_previous_abort == SIG_ERR ? SIG_DFL : g_previous_abort);
  std::set_terminate(g_previous_terminate);
  SetUnhandledExceptionFilter(g_previous_filter);
}

}  // namespace crash

// A pure virtual function called through an object under construction or destruction.
extern "C" void __cxa_pure_virtual() {
  crash::ReportFatalError(crash::RuntimeError("Pure virtual function call"), CALLER_FRAME());
}
