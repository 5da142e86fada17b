// The stack trace of live threads against dbghelp's StackWalk64: ten threads of this program
// wait in ntdll's NtWaitForSingleObject below stacks of 16 KB to 1 MB made of real frames (a
// recursion of -O2 code without frame pointers, each frame full of junk dwords, some of them
// addresses inside this program's code). Each thread is suspended and traced by our StackTrace and
// by StackWalk64 with every frame named (SymFromAddr, SymGetLineFromAddr64, symbols from this
// program's DWARF), one after the other in alternating order. Prints the time per thread,
// the ratio and the whole ten-thread trace, first with empty caches and again; then where
// our time goes: per stage, and the reads of the process's memory.
#include <windows.h>
//
#include <dbghelp.h>
#include <winternl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/clock_win.h"
#include "bench/summary_line.h"
#include "trace/pe/win/live_address_space_win.h"
#include "trace/stack/stack_trace.h"
#include "trace/stack/win/process_memory_win.h"
#include "trace/stack/win/process_trace_state_win.h"
#include "trace/stack/win/stack_trace_win.h"
#include "trace/system/win/try_read_memory_win.h"

namespace {

constexpr int kThreads = 10;
constexpr int kJunkDwords = 48;
constexpr DWORD kStackReserve = 2 * 1024 * 1024;

using bench::Now;

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

void* Pointer(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

// This program's code range, for junk that looks like code addresses.
uint32_t code_start = 0;
uint32_t code_size = 1;

HANDLE release_event = nullptr;

struct Worker {
  uint32_t stack_bytes = 0;  // how much stack the recursion fills
  int depth = 0;             // its frames
  HANDLE arrived = nullptr;
  HANDLE thread = nullptr;
  uint32_t stack_base = 0;
  uint32_t deepest = 0;  // the stack position at the bottom of the recursion
};

thread_local Worker* own_worker = nullptr;

// Waits straight in the system call: a wait through kernel32's WaitForSingleObject stub (a
// jump on into kernelbase) loses every caller in today's trace. With a frame pointer, so
// that StackWalk64 gets from ntdll's system call stub (which has no unwind data) back to
// here; the frames above have their DWARF call frame information.
__attribute__((noipa, optimize("no-omit-frame-pointer"))) void WaitForRelease() {
  NtWaitForSingleObject(release_event, FALSE, nullptr);
  asm volatile("");
}

// One frame of the recursion: junk dwords (every fourth an address in this program's code,
// rarely a return point), then the call one level down, the junk read again after it.
__attribute__((noipa)) uint32_t Deep(int depth, uint32_t seed) {
  volatile uint32_t junk[kJunkDwords];
  for (int i = 0; i < kJunkDwords; ++i) {
    const uint32_t hash = (seed + static_cast<uint32_t>(i)) * 2654435761u;
    junk[i] = i % 4 == 0 ? code_start + hash % code_size : hash;
  }
  if (depth == 0) {
    own_worker->deepest = Address(const_cast<const uint32_t*>(&junk[0]));
    SetEvent(own_worker->arrived);
    WaitForRelease();
    return junk[1];
  }
  const uint32_t inner = Deep(depth - 1, seed * 31 + 7);
  return inner + junk[depth % kJunkDwords];
}

DWORD WINAPI WorkerStart(void* parameter) {
  own_worker = static_cast<Worker*>(parameter);
  uint32_t base;
  asm volatile("movl %%fs:4, %0" : "=r"(base));  // StackBase of the thread information block
  own_worker->stack_base = base;
  return Deep(own_worker->depth, 1) == 0x12345678;
}

// The frame size of Deep, measured by a thread that recurses a little.
uint32_t FrameBytes() {
  Worker probe;
  probe.depth = 64;
  probe.arrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  probe.thread = CreateThread(nullptr, kStackReserve, WorkerStart, &probe,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  WaitForSingleObject(probe.arrived, INFINITE);
  const uint32_t bytes = (probe.stack_base - probe.deepest) / 65;
  SetEvent(release_event);
  WaitForSingleObject(probe.thread, INFINITE);
  ResetEvent(release_event);
  CloseHandle(probe.thread);
  CloseHandle(probe.arrived);
  return bytes;
}

// StackWalk64 over the thread's context, every frame named: the frames found.
int WalkWithDbghelp(HANDLE thread, const CONTEXT& context) {
  CONTEXT copy = context;
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
         StackWalk64(IMAGE_FILE_MACHINE_I386, GetCurrentProcess(), thread, &frame, &copy, nullptr,
                     SymFunctionTableAccess64, SymGetModuleBase64, nullptr)) {
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

int CountLines(const std::string& text) {
  if (text.empty()) return 0;
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The process's memory seen through the live address space, with the time of every call.
class TimedSpace : public trace::AddressSpace {
 public:
  bool Read(uint32_t address, void* buffer, uint32_t count) const override {
    const double start = Now();
    const bool read = trace::LiveSpace().Read(address, buffer, count);
    read_seconds += Now() - start;
    ++reads;
    read_bytes += count;
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(Pointer(address), &info, sizeof info) == sizeof info &&
        info.Type != MEM_IMAGE) {
      ++reads_outside_images;
    }
    return read;
  }
  std::optional<trace::MemoryRegion> Region(uint32_t address) const override {
    const double start = Now();
    std::optional<trace::MemoryRegion> region = trace::LiveSpace().Region(address);
    region_seconds += Now() - start;
    ++regions;
    return region;
  }
  std::optional<trace::ModuleInfo> ModuleOf(uint32_t address) const override {
    const double start = Now();
    std::optional<trace::ModuleInfo> module = trace::LiveSpace().ModuleOf(address);
    module_seconds += Now() - start;
    ++modules;
    return module;
  }
  std::string ExportName(uint32_t address) const override {
    const double start = Now();
    std::string name = trace::LiveSpace().ExportName(address);
    export_seconds += Now() - start;
    ++exports;
    return name;
  }

  mutable double read_seconds = 0, region_seconds = 0, module_seconds = 0, export_seconds = 0;
  mutable long reads = 0, read_bytes = 0, regions = 0, modules = 0, exports = 0;
  mutable long reads_outside_images = 0;
};

const char* StageName(int stage) {
  static const char* const names[trace::kTraceStageCount] = {
      "CollectPossibleStackItems", "FormatEbpFrameChains",
      "RemoveRecursiveStackAreas", "InDeepChecks",
      "RealizeOptimalLinkChains",  "RemoveRecursiveAreas",
      "FillFinalOutput",           "ComposeResult"};
  return names[stage];
}

struct Round {
  double ours[kThreads] = {};
  double theirs[kThreads] = {};
  int our_lines[kThreads] = {};
  int their_frames[kThreads] = {};
  double ours_total = 0;
  double theirs_total = 0;
};

// Suspends every worker, traces each both ways, resumes them.
Round TraceAll(std::vector<Worker>& workers, bool print) {
  Round round;
  for (int i = 0; i < kThreads; ++i) {
    Worker& worker = workers[i];
    SuspendThread(worker.thread);
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    GetThreadContext(worker.thread, &context);
    for (int side = 0; side < 2; ++side) {
      const bool ours = (side == 0) == (i % 2 == 0);
      const double start = Now();
      if (ours) {
        const std::string text = trace::StackTrace(false, false, Pointer(context.Eip), false, false,
                                                   Pointer(context.Esp), Pointer(worker.stack_base),
                                                   nullptr, nullptr, nullptr, nullptr);
        round.ours[i] = Now() - start;
        round.our_lines[i] = CountLines(text);
        if (print && i == 0) std::printf("our trace of the 16 KB thread:\n%s\n\n", text.c_str());
      } else {
        round.their_frames[i] = WalkWithDbghelp(worker.thread, context);
        round.theirs[i] = Now() - start;
      }
    }
    ResumeThread(worker.thread);
    round.ours_total += round.ours[i];
    round.theirs_total += round.theirs[i];
  }
  return round;
}

void PrintRound(const char* title, const std::vector<Worker>& workers, const Round& round) {
  std::printf("%s\n  %-8s %7s  %10s %6s  %12s %7s  %7s\n", title, "stack", "frames", "ours ms",
              "lines", "StackWalk ms", "frames", "ratio");
  for (int i = 0; i < kThreads; ++i) {
    std::printf("  %5u KB %7d  %10.2f %6d  %12.2f %7d  %7.3f\n", workers[i].stack_bytes / 1024,
                workers[i].depth, round.ours[i] * 1000, round.our_lines[i], round.theirs[i] * 1000,
                round.their_frames[i], round.theirs[i] > 0 ? round.ours[i] / round.theirs[i] : 0.0);
  }
  std::printf("  all ten: ours %.1f ms, StackWalk64 %.1f ms\n\n", round.ours_total * 1000,
              round.theirs_total * 1000);
}

// One trace of the largest thread through a state of its own over a timed view of the
// process's memory: the time of every stage and of the memory calls that reach the system
// beneath the page cache.
void PrintWhereTheTimeGoes(Worker& worker) {
  TimedSpace space;
  trace::ProcessMemory memory(space);
  trace::TraceState state(memory, trace::ProcessSymbolData(), Address(GetModuleHandleA(nullptr)),
                          false, nullptr);
  double stage_start[trace::kTraceStageCount + 1] = {};
  state.stage_hook = [&](trace::TraceStage stage) { stage_start[static_cast<int>(stage)] = Now(); };
  SuspendThread(worker.thread);
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  GetThreadContext(worker.thread, &context);
  trace::TStackTraceRequest request;
  request.current_address = context.Eip;
  request.stack_begin = context.Esp;
  request.stack_end = worker.stack_base;
  const double start = Now();
  const trace::TStackTraceRun run = trace::RunStackTrace(state, request);
  const double end = Now();
  ResumeThread(worker.thread);
  stage_start[trace::kTraceStageCount] = end;
  std::printf(
      "where the time goes: one trace of the %u KB thread with empty caches, %.1f ms, "
      "%zu items left, %zu functions cached\n",
      worker.stack_bytes / 1024, (end - start) * 1000, run.items.size(),
      state.functions().functions().size());
  std::printf("  before the first stage (the request)  %8.2f ms\n",
              (stage_start[0] - start) * 1000);
  for (int stage = 0; stage < trace::kTraceStageCount; ++stage) {
    const double next = stage_start[stage + 1] != 0 ? stage_start[stage + 1] : end;
    std::printf("  %-36s %8.2f ms\n", StageName(stage),
                stage_start[stage] != 0 ? (next - stage_start[stage]) * 1000 : 0.0);
  }
  std::printf("  memory reads   %8ld calls, %9ld bytes, %8.2f ms (%.2f us a call)\n", space.reads,
              space.read_bytes, space.read_seconds * 1000,
              space.reads ? space.read_seconds * 1e6 / space.reads : 0.0);
  std::printf("  of the reads, outside module images (stack, heap, mappings): %ld\n",
              space.reads_outside_images);
  std::printf("  regions        %8ld calls, %8.2f ms\n", space.regions,
              space.region_seconds * 1000);
  std::printf("  module look-ups %7ld calls, %8.2f ms\n", space.modules,
              space.module_seconds * 1000);
  std::printf("  export names   %8ld calls, %8.2f ms\n\n", space.exports,
              space.export_seconds * 1000);
}

// The cost of one read of the process's own memory and of its parts, by size.
void PrintReadCost() {
  constexpr int kCalls = 2000;
  static uint8_t source[65536];
  static uint8_t buffer[65536];
  MEMORY_BASIC_INFORMATION info;
  double start = Now();
  for (int i = 0; i < kCalls; ++i)
    VirtualQuery(source, &info, sizeof info);
  std::printf("VirtualQuery %.2f us; ReadProcessMemory of the own process:",
              (Now() - start) / kCalls * 1e6);
  for (uint32_t size : {8u, 256u, 1024u, 4096u, 65536u}) {
    const int calls = size > 4096 ? kCalls / 10 : kCalls;
    SIZE_T done = 0;
    start = Now();
    for (int i = 0; i < calls; ++i) {
      ReadProcessMemory(GetCurrentProcess(), source, buffer, size, &done);
    }
    std::printf(" %u bytes %.2f us;", size, (Now() - start) / calls * 1e6);
  }
  start = Now();
  for (int i = 0; i < kCalls; ++i)
    trace::TryReadMemory(source, buffer, 8);
  std::printf(" TryReadMemory of 8 bytes %.2f us\n\n", (Now() - start) / kCalls * 1e6);
}

}  // namespace

int main() {
  const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  code_start = Address(base) + nt->OptionalHeader.BaseOfCode;
  code_size = std::max<uint32_t>(1, nt->OptionalHeader.SizeOfCode);
  release_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);

  const uint32_t frame_bytes = FrameBytes();
  std::vector<Worker> workers(kThreads);
  for (int i = 0; i < kThreads; ++i) {
    Worker& worker = workers[i];
    // 16 KB to 1 MB in equal steps of the logarithm.
    worker.stack_bytes = static_cast<uint32_t>(16384.0 * std::pow(64.0, i / 9.0));
    worker.depth = static_cast<int>(worker.stack_bytes / frame_bytes);
    worker.arrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    worker.thread = CreateThread(nullptr, kStackReserve, WorkerStart, &worker,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    WaitForSingleObject(worker.arrived, INFINITE);
  }
  Sleep(100);  // into their waits
  std::printf("10 threads waiting below %u to %u bytes of stack, %u bytes a frame\n\n",
              workers.front().stack_bytes, workers.back().stack_bytes, frame_bytes);

  // Symbols first, both sides: dbghelp for every module, ours for the program.
  double start = Now();
  SymSetOptions(SYMOPT_LOAD_LINES | SYMOPT_UNDNAME);
  const bool dbghelp_ready = SymInitialize(GetCurrentProcess(), nullptr, TRUE);
  const double dbghelp_load = Now() - start;
  trace::AcquireProcessTraceState();
  start = Now();
  trace::ProcessTraceState().modules().Register(Address(GetModuleHandleA(nullptr)));
  const double our_load = Now() - start;
  std::printf(
      "symbols: ours (the program's block) %.1f ms; dbghelp (SymInitialize, every "
      "module) %.1f ms%s\n\n",
      our_load * 1000, dbghelp_load * 1000, dbghelp_ready ? "" : " (failed)");

  PrintReadCost();
  const Round cold = TraceAll(workers, true);
  PrintRound("first round (our function cache empty):", workers, cold);
  const Round warm = TraceAll(workers, false);
  PrintRound("second round (functions cached):", workers, warm);
  PrintWhereTheTimeGoes(workers.back());

  bench::PrintSummaryLine("stack trace: 10 threads, first round", cold.ours_total * 1000, "ms",
                          "StackWalk64 + names and lines", cold.theirs_total * 1000);
  bench::PrintSummaryLine("stack trace: 10 threads, again", warm.ours_total * 1000, "ms",
                          "StackWalk64 + names and lines", warm.theirs_total * 1000);
  bench::PrintSummaryLine("stack trace: 16 KB thread, again", warm.ours[0] * 1000, "ms",
                          "StackWalk64 + names and lines", warm.theirs[0] * 1000);
  bench::PrintSummaryLine("stack trace: 1 MB thread, again", warm.ours[kThreads - 1] * 1000, "ms",
                          "StackWalk64 + names and lines", warm.theirs[kThreads - 1] * 1000);
  bench::PrintSummaryLine("stack trace: symbol load", our_load * 1000, "ms",
                          "SymInitialize, every module", dbghelp_load * 1000);

  SetEvent(release_event);
  for (Worker& worker : workers) {
    WaitForSingleObject(worker.thread, INFINITE);
    CloseHandle(worker.thread);
    CloseHandle(worker.arrived);
  }
  SymCleanup(GetCurrentProcess());
  trace::ReleaseProcessTraceState();
  return 0;
}
