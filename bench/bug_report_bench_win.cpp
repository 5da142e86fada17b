// The whole bug report of a process with ten named worker threads waiting below recursions
// of 4 to 76 frames of -O2 code without frame pointers, composed while the workers are
// suspended: the time from the call to the finished text, first with the process's trace
// state empty and again, and where it goes (stack tracing, symbol data, the rest: header,
// contexts, registry, modules, disassembly). Beside it the same threads walked with
// dbghelp's StackWalk64, every frame named (SymFromAddr, SymGetLineFromAddr64).
#include <windows.h>
//
#include <dbghelp.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/clock_win.h"
#include "bench/summary_line.h"
#include "crash/report/compose_report_win.h"
#include "crash/report/disassembly_section_win.h"
#include "crash/report/process_report_system_win.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "trace/stack/win/process_memory_win.h"
#include "trace/stack/win/process_trace_state_win.h"
#include "trace/stack/win/stack_trace_win.h"

namespace {

constexpr int kThreads = 10;
constexpr int kJunkDwords = 8;

using bench::Now;

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

HANDLE release_event = nullptr;
volatile int sink = 0;

struct Worker {
  int depth = 0;
  HANDLE arrived = nullptr;
  HANDLE thread = nullptr;
  DWORD id = 0;
};

thread_local Worker* own_worker = nullptr;

__attribute__((noipa, optimize("no-omit-frame-pointer"))) void WaitForRelease() {
  SetEvent(own_worker->arrived);
  sink = sink + static_cast<int>(WaitForSingleObject(release_event, INFINITE));
}

// One frame of the recursion: a few junk dwords, the call one level down, the junk read
// again after it.
__attribute__((noipa)) uint32_t Deep(int depth, uint32_t seed) {
  volatile uint32_t junk[kJunkDwords];
  for (int i = 0; i < kJunkDwords; ++i)
    junk[i] = (seed + static_cast<uint32_t>(i)) * 2654435761u;
  if (depth == 0) {
    WaitForRelease();
    return junk[1];
  }
  const uint32_t inner = Deep(depth - 1, seed * 31 + 7);
  return inner + junk[depth % kJunkDwords];
}

DWORD WINAPI WorkerStart(void* parameter) {
  own_worker = static_cast<Worker*>(parameter);
  return Deep(own_worker->depth, 1) == 0x12345678;
}

// fn's result, its time added to total.
template <class Fn>
auto Timed(double& total, Fn fn) {
  const double start = Now();
  auto result = fn();
  total += Now() - start;
  return result;
}

// The process's answers with the time of each kind, and stack traces through a trace state
// of the benchmark's own whose symbol source is timed.
class TimedSystem : public crash::ReportSystem {
 public:
  TimedSystem()
      : inner_(crash::MakeProcessReportSystem()),
        state_(
            memory_,
            [this](uint32_t base, const std::string& path) {
              const double start = Now();
              auto map = trace::ProcessSymbolData()(base, path);
              symbols += Now() - start;
              return map;
            },
            Address(GetModuleHandleA(nullptr)), false, nullptr) {}

  crash::HeaderFacts Header() override {
    return Timed(header, [&] { return inner_->Header(); });
  }
  uint32_t MainThreadId() override { return inner_->MainThreadId(); }
  std::vector<uint32_t> Threads() override {
    return Timed(contexts, [&] { return inner_->Threads(); });
  }
  crash::ThreadLookup LookUpThread(uint32_t id) override {
    return Timed(registry, [&] { return inner_->LookUpThread(id); });
  }
  std::optional<crash::ThreadContextFacts> ThreadContext(uint32_t id) override {
    return Timed(contexts, [&] { return inner_->ThreadContext(id); });
  }
  crash::StackTraceAnswer TraceStack(const crash::StackTraceCall& call,
                                     trace::TProgress* progress) override {
    const double start = Now();
    crash::StackTraceAnswer answer;
    if (call.calling_thread) {
      answer = inner_->TraceStack(call, progress);  // the composing thread: the process's state
    } else if (trace::StackRangeReadable(call.stack_begin, call.stack_end)) {
      trace::TStackTraceRequest request;
      request.hide_items_without_lines = call.hide_items_without_lines;
      request.relative_addresses = call.relative_addresses;
      request.current_address = call.current_address;
      request.exception_thread = call.exception_thread;
      request.external_exception = call.external_exception;
      request.stack_begin = call.stack_begin;
      request.stack_end = call.stack_end;
      request.thread_start = call.thread_start;
      trace::TStackTraceFindings findings;
      memory_.Forget();
      answer.text = trace::StackTrace(state_, request, &findings, progress);
      answer.exception_address = findings.exception_address;
      answer.function_entry = findings.function_entry;
    }
    tracing += Now() - start;
    return answer;
  }
  std::vector<crash::ModuleRecord> Modules() override {
    return Timed(modules, [&] { return inner_->Modules(); });
  }
  trace::ProgressSystem Progress() override { return inner_->Progress(); }

  void Reset() { header = contexts = registry = tracing = modules = symbols = 0; }

  double header = 0, contexts = 0, registry = 0, tracing = 0, modules = 0, symbols = 0;

 private:
  std::unique_ptr<crash::ReportSystem> inner_;
  trace::ProcessMemory memory_;
  trace::TraceState state_;
};

// StackWalk64 over the thread's context, every frame named: the frames found.
int WalkWithDbghelp(HANDLE thread) {
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  if (!GetThreadContext(thread, &context)) return 0;
  STACKFRAME64 frame{};
  frame.AddrPC.Offset = context.Eip;
  frame.AddrPC.Mode = AddrModeFlat;
  frame.AddrStack.Offset = context.Esp;
  frame.AddrStack.Mode = AddrModeFlat;
  frame.AddrFrame.Offset = context.Ebp;
  frame.AddrFrame.Mode = AddrModeFlat;
  alignas(SYMBOL_INFO) char symbol_bytes[sizeof(SYMBOL_INFO) + 256];
  int frames = 0;
  while (frames < 100000 &&
         StackWalk64(IMAGE_FILE_MACHINE_I386, GetCurrentProcess(), thread, &frame, &context,
                     nullptr, SymFunctionTableAccess64, SymGetModuleBase64, nullptr)) {
    if (frame.AddrPC.Offset == 0) break;
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(symbol_bytes);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = 256;
    DWORD64 displacement = 0;
    SymFromAddr(GetCurrentProcess(), frame.AddrPC.Offset, &displacement, symbol);
    IMAGEHLP_LINE64 line{};
    line.SizeOfStruct = sizeof line;
    DWORD line_displacement = 0;
    SymGetLineFromAddr64(GetCurrentProcess(), frame.AddrPC.Offset, &line_displacement, &line);
    ++frames;
  }
  return frames;
}

void SuspendWorkers(std::vector<Worker>& workers, bool suspend) {
  for (Worker& worker : workers) {
    if (suspend) {
      SuspendThread(worker.thread);
    } else {
      ResumeThread(worker.thread);
    }
  }
}

struct Composed {
  double real = 0;   // ComposeBugReport, the process's own trace state
  double timed = 0;  // the same composition through TimedSystem
  size_t bytes = 0;
  int frames = 0;     // StackWalk64's frames of all workers
  double walked = 0;  // their time
};

Composed ComposeRound(std::vector<Worker>& workers, const crash::ActiveSettings& settings,
                      const crash::ComposeRequest& request, TimedSystem& timed, bool print) {
  Composed round;
  SuspendWorkers(workers, true);
  double start = Now();
  const std::string report = crash::ComposeBugReport(settings, request);
  round.real = Now() - start;
  round.bytes = report.size();
  timed.Reset();
  start = Now();
  crash::ComposeReport(settings, request, timed);
  round.timed = Now() - start;
  start = Now();
  for (Worker& worker : workers)
    round.frames += WalkWithDbghelp(worker.thread);
  round.walked = Now() - start;
  SuspendWorkers(workers, false);
  if (print) std::printf("%s\n\n", report.c_str());
  return round;
}

void PrintRound(const char* title, const Composed& round, const TimedSystem& timed) {
  const double other =
      round.timed - timed.tracing - timed.header - timed.contexts - timed.registry - timed.modules;
  std::printf("%s\n", title);
  std::printf("  ComposeBugReport             %8.1f ms (%zu bytes)\n", round.real * 1000,
              round.bytes);
  std::printf("  the same, timed              %8.1f ms\n", round.timed * 1000);
  std::printf("    stack tracing              %8.1f ms (without symbol data)\n",
              (timed.tracing - timed.symbols) * 1000);
  std::printf("    symbol data                %8.1f ms\n", timed.symbols * 1000);
  std::printf("    header facts               %8.1f ms\n", timed.header * 1000);
  std::printf("    threads and contexts       %8.1f ms\n", timed.contexts * 1000);
  std::printf("    registry look-ups          %8.1f ms\n", timed.registry * 1000);
  std::printf("    modules                    %8.1f ms\n", timed.modules * 1000);
  std::printf("    the rest (disassembly, text) %6.1f ms\n", other * 1000);
  std::printf("  StackWalk64 + names and lines %7.1f ms (%d frames)\n\n", round.walked * 1000,
              round.frames);
}

}  // namespace

int main() {
  crash::StartSharedInstanceBlock();
  trace::AcquireProcessTraceState();
  release_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<Worker> workers(kThreads);
  for (int i = 0; i < kThreads; ++i) {
    Worker& worker = workers[i];
    worker.depth = 4 + 8 * i;
    worker.arrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    worker.thread = CreateThread(nullptr, 0, WorkerStart, &worker, 0, &worker.id);
    WaitForSingleObject(worker.arrived, INFINITE);
    crash::RegisterCreatedThread(worker.id, worker.thread, GetCurrentThreadId(),
                                 i % 2 == 0 ? Address(reinterpret_cast<void*>(&WorkerStart)) : 0,
                                 "");
    crash::SetThreadName(worker.id, "worker " + std::to_string(i + 1));
  }
  Sleep(100);  // into their waits

  crash::ActiveSettings settings;
  settings.DisasmProducer = crash::DisassembleCrashFunction;
  const crash::ReportedException fault{{"EAccessViolation", "EExternal", "Exception"},
                                       "Access violation at address 00401000. Read of address 0"};
  crash::ComposeRequest request;
  request.exception = &fault;
  request.address = Address(reinterpret_cast<void*>(&WaitForRelease));
  request.thread_id = workers[0].id;

  // dbghelp's symbols first, as a report would need them.
  double start = Now();
  SymSetOptions(SYMOPT_LOAD_LINES | SYMOPT_UNDNAME);
  const bool dbghelp_ready = SymInitialize(GetCurrentProcess(), nullptr, TRUE);
  const double dbghelp_load = Now() - start;
  std::printf("10 workers below 4 to 76 frames; dbghelp SymInitialize %.1f ms%s\n\n",
              dbghelp_load * 1000, dbghelp_ready ? "" : " (failed)");

  TimedSystem timed;
  const Composed cold = ComposeRound(workers, settings, request, timed, true);
  PrintRound("first composition (trace states empty):", cold, timed);
  const double cold_tracing = timed.tracing, cold_symbols = timed.symbols;
  const double cold_rest = cold.timed - timed.tracing;
  const Composed warm = ComposeRound(workers, settings, request, timed, false);
  PrintRound("again (functions and symbols cached):", warm, timed);
  const double warm_tracing = timed.tracing;
  const double warm_rest = warm.timed - timed.tracing;

  bench::PrintSummaryLine("bug report: 10 threads, first", cold.real * 1000, "ms",
                          "SymInitialize + StackWalk64 + names",
                          (dbghelp_load + cold.walked) * 1000);
  bench::PrintSummaryLine("bug report: 10 threads, again", warm.real * 1000, "ms",
                          "StackWalk64 + names and lines", warm.walked * 1000);
  bench::PrintSummaryLine("bug report, first: tracing", (cold_tracing - cold_symbols) * 1000, "ms");
  bench::PrintSummaryLine("bug report, first: symbols", cold_symbols * 1000, "ms",
                          "SymInitialize, every module", dbghelp_load * 1000);
  bench::PrintSummaryLine("bug report, first: the rest", cold_rest * 1000, "ms");
  bench::PrintSummaryLine("bug report, again: tracing", warm_tracing * 1000, "ms");
  bench::PrintSummaryLine("bug report, again: the rest", warm_rest * 1000, "ms");

  SetEvent(release_event);
  for (Worker& worker : workers) {
    WaitForSingleObject(worker.thread, INFINITE);
    CloseHandle(worker.thread);
    CloseHandle(worker.arrived);
  }
  SymCleanup(GetCurrentProcess());
  trace::ReleaseProcessTraceState();
  crash::StopSharedInstanceBlock();
  return 0;
}
