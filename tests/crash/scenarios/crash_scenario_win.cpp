// One crash a run: the program carries the reporter and is started with the name of a
// scenario; it prints "begin <name>", provokes the scenario's exception three calls deep
// (Scenario -> ThreeDeep -> the crash) on the thread the scenario names, and prints
// "continued" where the program goes on afterwards. The report comes on standard output.
#include <windows.h>

#include <process.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crash/crash_reporter.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/guard.h"
#include "framework/thread.h"
#include "tests/crash/scenarios/version_page.h"

VersionPage g_version_page = {"scenario version 1", {}};

// Classes other units could derive from, so that the compiler can't know every override
// of Pure and must make the call.
namespace scenario {

struct Base {
  Base() { CallPure(); }
  virtual ~Base() = default;
  virtual void Pure() = 0;
  __attribute__((noinline)) void CallPure() {
    // Through a pointer the compiler can't see through, so that the call is made.
    Base* volatile self = this;
    self->Pure();
  }
};
struct Derived : Base {
  void Pure() override {}
};
}  // namespace scenario

namespace {

volatile int g_zero = 0;
int* volatile g_null = nullptr;
const int g_read_only[4] = {1, 2, 3, 4};

// An exception class of the program's own, outside the framework's tree.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

__attribute__((noinline)) void Line(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

// The crashes, each in a function of its own so that the report names it.
__attribute__((noinline)) void CrashReadNull() {
  Line("crash");
  std::printf("%d\n", *g_null);
}
__attribute__((noinline)) void CrashWriteNull() {
  Line("crash");
  *g_null = 7;
}
__attribute__((noinline)) void CrashReadFar() {
  Line("crash");
  std::printf("%d\n", *reinterpret_cast<volatile int*>(0x7ffe0ff0 - 0x10000000));
}
__attribute__((noinline)) void CrashWriteReadOnly() {
  Line("crash");
  *const_cast<volatile int*>(&g_read_only[1]) = 9;
}
__attribute__((noinline)) void CrashDivide() {
  Line("crash");
  std::printf("%d\n", 10 / g_zero);
}
__attribute__((noinline)) void CrashIllegal() {
  Line("crash");
  asm volatile("ud2");
}
__attribute__((noinline)) void CrashPrivileged() {
  Line("crash");
  asm volatile("hlt");
}
__attribute__((noinline)) void CrashBreakpoint() {
  Line("crash");
  asm volatile("int3");
}
__attribute__((noinline)) int Recurse(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  // Never false; the compiler can't tell.
  if (g_zero == 0) return Recurse(depth + 1) + pad[0];
  return pad[0];
}
__attribute__((noinline)) void CrashStackOverflow() {
  Line("crash");
  std::printf("%d\n", Recurse(0));
}
__attribute__((noinline)) int __cdecl FaultingCompare(const void*, const void*) {
  return *g_null;
}
__attribute__((noinline)) void CrashInSystemCallback() {
  Line("crash");
  int values[4] = {4, 3, 2, 1};
  std::qsort(values, 4, sizeof values[0], FaultingCompare);
}
__attribute__((noinline)) void ThrowStd() {
  Line("crash");
  throw std::length_error("the list is longer than allowed!!");
}
__attribute__((noinline)) void ThrowOwn() {
  Line("crash");
  throw ScenarioError("the scenario's own error.");
}
__attribute__((noinline)) void ThrowFramework() {
  Line("crash");
  throw fw::EReadError("the description could not be read");
}
__attribute__((noinline)) void ThrowAbort() {
  Line("crash");
  throw fw::EAbort("silent");
}
__attribute__((noinline)) void ThrowLogic() {
  throw std::logic_error("thrown where nothing may be thrown");
}
__attribute__((noinline)) void ThrowInNoexcept() noexcept {
  Line("crash");
  ThrowLogic();
}
__attribute__((noinline)) void CallTerminate() {
  Line("crash");
  std::terminate();
}
__attribute__((noinline)) void CallAbort() {
  Line("crash");
  std::abort();
}
scenario::Base* volatile g_constructed = nullptr;
__attribute__((noinline)) void CallPureVirtual() {
  Line("crash");
  // On the heap and kept: the object's construction can't be left out.
  g_constructed = new scenario::Derived;
}
__attribute__((noinline)) void FailAllocation() {
  Line("crash");
  std::vector<char*> blocks;
  for (;;)
    blocks.push_back(new char[256u << 20]);
}
__attribute__((noinline)) void SpoilComposition() {
  DWORD old = 0;
  VirtualProtect(&g_version_page, sizeof g_version_page, PAGE_NOACCESS, &old);
  CrashReadNull();
}

struct Scenario {
  void (*run)();       // RunCrash of the scenario's crash
  const char* thread;  // "main", "create", "std", "framework", "handler"
};

// The crash three calls deep, each call direct, so that every return address on the
// stack belongs to a call of the function above it.
template <void (*Crash)()>
__attribute__((noinline)) void ThreeDeep() {
  Crash();
  Line("returned");
}

template <void (*Crash)()>
__attribute__((noinline)) void RunCrash() {
  ThreeDeep<Crash>();
  Line("ran");
}

DWORD WINAPI CreatedThreadStart(void* run) {
  reinterpret_cast<void (*)()>(run)();
  return 0;
}

class CrashingThread : public fw::TThread {
 public:
  explicit CrashingThread(void (*run)()) : run_(run) {}
  ~CrashingThread() override { TerminateAndWait(); }

 protected:
  void Execute() override { run_(); }

 private:
  void (*run_)();
};

// A waiting worker the report lists with its name and creation point.
HANDLE g_release_workers = CreateEventA(nullptr, TRUE, FALSE, nullptr);

DWORD WINAPI NamedWorker(void*) {
  WaitForSingleObject(g_release_workers, INFINITE);
  return 0;
}

// Names the calling thread by the debugger convention.
void AnnounceThreadName(const char* name) {
  const ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>(name), static_cast<ULONG_PTR>(-1),
                             0};
  RaiseException(0x406D1388, 0, 4, info);
}

DWORD WINAPI AnnouncedThread(void* run) {
  AnnounceThreadName("announced worker");
  reinterpret_cast<void (*)()>(run)();
  return 0;
}

const std::map<std::string, Scenario>& Scenarios() {
  static const std::map<std::string, Scenario> scenarios = {
      {"read_null", {RunCrash<CrashReadNull>, "main"}},
      {"write_null", {RunCrash<CrashWriteNull>, "main"}},
      {"read_far", {RunCrash<CrashReadFar>, "main"}},
      {"write_read_only", {RunCrash<CrashWriteReadOnly>, "main"}},
      {"divide", {RunCrash<CrashDivide>, "main"}},
      {"illegal", {RunCrash<CrashIllegal>, "main"}},
      {"privileged", {RunCrash<CrashPrivileged>, "main"}},
      {"breakpoint", {RunCrash<CrashBreakpoint>, "main"}},
      {"stack_overflow", {RunCrash<CrashStackOverflow>, "main"}},
      {"system_callback", {RunCrash<CrashInSystemCallback>, "main"}},
      {"thread_read_null", {RunCrash<CrashReadNull>, "create"}},
      {"thread_write_null", {RunCrash<CrashWriteNull>, "create"}},
      {"thread_divide", {RunCrash<CrashDivide>, "create"}},
      {"thread_illegal", {RunCrash<CrashIllegal>, "create"}},
      {"thread_privileged", {RunCrash<CrashPrivileged>, "create"}},
      {"thread_breakpoint", {RunCrash<CrashBreakpoint>, "create"}},
      {"thread_stack_overflow", {RunCrash<CrashStackOverflow>, "create"}},
      {"stdthread_read_null", {RunCrash<CrashReadNull>, "std"}},
      {"stdthread_divide", {RunCrash<CrashDivide>, "std"}},
      {"fwthread_read_null", {RunCrash<CrashReadNull>, "framework"}},
      {"fwthread_divide", {RunCrash<CrashDivide>, "framework"}},
      {"handler_std", {RunCrash<ThrowStd>, "handler"}},
      {"handler_own", {RunCrash<ThrowOwn>, "handler"}},
      {"handler_framework", {RunCrash<ThrowFramework>, "handler"}},
      {"handler_read_null", {RunCrash<CrashReadNull>, "handler"}},
      {"handler_abort", {RunCrash<ThrowAbort>, "handler"}},
      {"thread_std", {RunCrash<ThrowStd>, "create"}},
      {"fwthread_own", {RunCrash<ThrowOwn>, "framework"}},
      {"stdthread_std", {RunCrash<ThrowStd>, "std"}},
      {"main_std", {RunCrash<ThrowStd>, "main"}},
      {"main_own", {RunCrash<ThrowOwn>, "main"}},
      {"main_framework", {RunCrash<ThrowFramework>, "main"}},
      {"noexcept", {RunCrash<ThrowInNoexcept>, "main"}},
      {"terminate", {RunCrash<CallTerminate>, "main"}},
      {"abort", {RunCrash<CallAbort>, "main"}},
      {"pure_virtual", {RunCrash<CallPureVirtual>, "main"}},
      {"allocation", {RunCrash<FailAllocation>, "main"}},
      {"announced_thread", {RunCrash<CrashDivide>, "announced"}},
      {"composition_fault", {RunCrash<SpoilComposition>, "main"}},
  };
  return scenarios;
}

HANDLE g_start_together = CreateEventA(nullptr, TRUE, FALSE, nullptr);

DWORD WINAPI StartTogether(void*) {
  WaitForSingleObject(g_start_together, INFINITE);
  RunCrash<CrashReadNull>();
  return 0;
}

// Eight threads fault at the same moment; each report comes, one after another.
int EightAtOnce() {
  std::vector<HANDLE> threads;
  for (int i = 0; i < 8; ++i) {
    threads.push_back(CreateThread(nullptr, 0, StartTogether, nullptr, 0, nullptr));
  }
  Sleep(100);
  SetEvent(g_start_together);
  WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 60000);
  Line("continued");
  return 0;
}

// Exceptions on threads that may continue, one after another: with the automatic restart
// rule the tenth within its seconds restarts the program, which says so.
int Repeated(int count, const char* file) {
  const crash::ExceptionHistory& history = crash::ReporterHistory();
  int taken_over = 0;
  for (uint64_t entry : history.seconds)
    taken_over += entry != 0;
  FILE* out = std::fopen(file, "a");
  if (!out) return 2;
  std::fprintf(out, "history %d\n", taken_over);
  std::fclose(out);
  if (taken_over > 0) return 0;
  for (int i = 0; i < count; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, CreatedThreadStart,
                                 reinterpret_cast<void*>(CrashDivide), 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  out = std::fopen(file, "a");
  if (!out) return 2;
  std::fprintf(out, "continued\n");
  std::fclose(out);
  return 0;
}

// Waits until the test has traced the process from outside.
int WaitForTrace() {
  Line("waiting");
  WaitForSingleObject(g_release_workers, 30000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: crash_scenario <scenario>\n");
    return 2;
  }
  const std::string name = argv[1];
  std::printf("begin %s\n", name.c_str());
  std::fflush(stdout);
  // A named worker waits in the background: every report lists it.
  HANDLE worker = CreateThread(nullptr, 0, NamedWorker, nullptr, 0, nullptr);
  const ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>("waiting worker"),
                             GetThreadId(worker), 0};
  RaiseException(0x406D1388, 0, 4, info);
  if (name == "eight_at_once") return EightAtOnce();
  if (name == "repeated" && argc > 3) return Repeated(std::atoi(argv[2]), argv[3]);
  if (name == "wait_for_trace") return WaitForTrace();
  const auto found = Scenarios().find(name);
  if (found == Scenarios().end()) {
    std::printf("unknown scenario\n");
    return 2;
  }
  const Scenario& scenario = found->second;
  const std::string thread = scenario.thread;
  if (thread == "main") {
    scenario.run();
  } else if (thread == "create" || thread == "announced") {
    HANDLE crashing =
        CreateThread(nullptr, 0, thread == "create" ? CreatedThreadStart : AnnouncedThread,
                     reinterpret_cast<void*>(scenario.run), 0, nullptr);
    WaitForSingleObject(crashing, 60000);
  } else if (thread == "std") {
    std::thread crashing(scenario.run);
    crashing.join();
  } else if (thread == "framework") {
    CrashingThread crashing(scenario.run);
    crashing.Start();
    crashing.WaitFor();
  } else if (thread == "handler") {
    fw::TApplication application;
    fw::CallGuarded(&application, [&] { scenario.run(); });
  }
  Line("continued");
  SetEvent(g_release_workers);
  WaitForSingleObject(worker, 5000);
  return 0;
}
