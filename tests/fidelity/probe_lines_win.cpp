#include "tests/fidelity/probe_lines_win.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/fidelity/fault_triggers_win.h"

namespace fidelity {
namespace {

constexpr DWORD kStatusAccessViolation = 0xC0000005;
constexpr DWORD kStatusDivideByZero = 0xC0000094;
constexpr DWORD kStatusBreakpoint = 0x80000003;
constexpr DWORD kStatusIllegalInstruction = 0xC000001D;
constexpr DWORD kStatusStackOverflow = 0xC00000FD;

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(value));
  return text;
}

// Appends "what: got X, want Y" to the report when the two differ.
void Compare(std::string& report, const char* what, DWORD got, DWORD want) {
  if (got == want) return;
  if (!report.empty()) report += "; ";
  report += std::string(what) + " " + Hex(got) + ", want " + Hex(want);
}

// The fault must have reached the handler with this code at this instruction; a memory
// fault also with its access kind (0 read, 1 write, 8 execute) and target address.
std::string CheckFault(const CapturedFault& fault, DWORD code, DWORD address) {
  if (!fault.seen) return "no exception reached the first vectored handler";
  std::string report;
  Compare(report, "code", fault.code, code);
  Compare(report, "exception address", fault.address, address);
  return report;
}

std::string CheckMemoryFault(const CapturedFault& fault, DWORD address, DWORD access,
                             DWORD target) {
  std::string report = CheckFault(fault, kStatusAccessViolation, address);
  if (!fault.seen) return report;
  if (fault.parameter_count < 2) {
    if (!report.empty()) report += "; ";
    return report + std::to_string(fault.parameter_count) + " parameters, want 2";
  }
  Compare(report, "access kind", fault.parameters[0], access);
  Compare(report, "target address", fault.parameters[1], target);
  return report;
}

std::string AccessViolationRead() {
  return CheckMemoryFault(CaptureRead(), Sites().read, 0, 8);
}

std::string AccessViolationWrite() {
  return CheckMemoryFault(CaptureWrite(), Sites().write, 1, 0x10);
}

std::string AccessViolationExecute() {
  void* page = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (page == nullptr || !VirtualFree(page, 0, MEM_RELEASE)) return "no page to free";
  const auto target = static_cast<DWORD>(reinterpret_cast<uintptr_t>(page));
  return CheckMemoryFault(CaptureExecute(target), target, 8, target);
}

std::string DivideByZero() {
  return CheckFault(CaptureDivide(), kStatusDivideByZero, Sites().divide);
}

std::string Breakpoint() {
  return CheckFault(CaptureBreakpoint(), kStatusBreakpoint, Sites().int3);
}

std::string IllegalInstruction() {
  return CheckFault(CaptureIllegalInstruction(), kStatusIllegalInstruction, Sites().ud2);
}

// Runs body on a new thread with the given stack reservation and waits for it.
template <typename Body>
DWORD WINAPI RunBody(void* parameter) {
  (*static_cast<Body*>(parameter))();
  return 0;
}

template <typename Body>
bool RunOnThread(Body& body, SIZE_T stack_reserve = 0) {
  HANDLE thread = CreateThread(nullptr, stack_reserve, RunBody<Body>, &body,
                               stack_reserve ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr);
  if (thread == nullptr) return false;
  const bool ended = WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
  CloseHandle(thread);
  return ended;
}

std::string StackOverflow() {
  CapturedFault fault;
  auto body = [&fault] { fault = CaptureStackOverflow(); };
  if (!RunOnThread(body, 256 * 1024)) return "the overflowing thread did not end";
  if (!fault.seen) return "no exception reached the first vectored handler";
  std::string report;
  Compare(report, "code", fault.code, kStatusStackOverflow);
  return report;
}

std::string FaultOnSecondThread() {
  std::string report;
  auto body = [&report] { report = AccessViolationRead(); };
  if (!RunOnThread(body)) return "the faulting thread did not end";
  return report;
}

std::string FaultsAfterThreads() {
  for (int round = 0; round < 20; ++round) {
    auto body = [] {};
    if (!RunOnThread(body)) return "thread " + std::to_string(round) + " did not end";
  }
  std::string report = AccessViolationRead();
  if (report.empty()) report = FaultOnSecondThread();
  return report;
}

std::string ReadProcessMemoryOfSelf() {
  unsigned char source[64];
  for (int i = 0; i < 64; ++i)
    source[i] = static_cast<unsigned char>(i * 7 + 1);
  unsigned char target[64] = {};
  SIZE_T done = 0;
  if (!ReadProcessMemory(GetCurrentProcess(), source, target, sizeof target, &done))
    return "the read failed, error " + std::to_string(GetLastError());
  std::string report;
  Compare(report, "bytes read", static_cast<DWORD>(done), sizeof target);
  if (std::memcmp(source, target, sizeof source) != 0) {
    if (!report.empty()) report += "; ";
    report += "wrong bytes";
  }
  return report;
}

std::string ReadProcessMemoryRefuses() {
  unsigned char target[4];
  SIZE_T done = 0;
  std::string report;
  void* freed = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (freed == nullptr || !VirtualFree(freed, 0, MEM_RELEASE)) return "no page to free";
  if (ReadProcessMemory(GetCurrentProcess(), freed, target, sizeof target, &done))
    report = "a read of a freed page succeeded";
  DWORD old = 0;
  void* closed = VirtualAlloc(nullptr, 0x1000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (closed == nullptr || !VirtualProtect(closed, 0x1000, PAGE_NOACCESS, &old))
    return "no page to protect";
  if (ReadProcessMemory(GetCurrentProcess(), closed, target, sizeof target, &done)) {
    if (!report.empty()) report += "; ";
    report += "a read of a no-access page succeeded";
  }
  VirtualFree(closed, 0, MEM_RELEASE);
  return report;
}

// A thread that loads known values into EBX and ESI and spins in a known loop.
extern "C" {
void SpinWithKnownRegisters() asm("_fidelity_spin");
extern const char kSpinLoop[] asm("_fidelity_spin_loop");
extern const char kSpinLoopEnd[] asm("_fidelity_spin_loop_end");
__attribute__((used)) volatile DWORD g_spin_esp asm("_fidelity_spin_esp") = 0;
__attribute__((used)) volatile DWORD g_spin_stop asm("_fidelity_spin_stop") = 0;
}
asm(R"(
  .text
  .globl _fidelity_spin, _fidelity_spin_loop, _fidelity_spin_loop_end
_fidelity_spin:
  pushl %ebx
  pushl %esi
  movl $0x12345678, %ebx
  movl $0x9abcdef0, %esi
  movl %esp, _fidelity_spin_esp
_fidelity_spin_loop:
  pause
  cmpl $0, _fidelity_spin_stop
  je _fidelity_spin_loop
_fidelity_spin_loop_end:
  popl %esi
  popl %ebx
  ret
)");

DWORD WINAPI Spin(void*) {
  SpinWithKnownRegisters();
  return 0;
}

std::string SuspendedThreadContext() {
  HANDLE thread = CreateThread(nullptr, 0, Spin, nullptr, 0, nullptr);
  if (thread == nullptr) return "no thread";
  for (int i = 0; i < 2000 && g_spin_esp == 0; ++i)
    Sleep(1);
  std::string report;
  if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
    report = "SuspendThread failed";
  } else {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context)) {
      report = "GetThreadContext failed";
    } else {
      Compare(report, "EBX", context.Ebx, 0x12345678);
      Compare(report, "ESI", context.Esi, 0x9abcdef0);
      Compare(report, "ESP", context.Esp, g_spin_esp);
      const auto loop = static_cast<DWORD>(reinterpret_cast<uintptr_t>(kSpinLoop));
      const auto end = static_cast<DWORD>(reinterpret_cast<uintptr_t>(kSpinLoopEnd));
      if (context.Eip < loop || context.Eip >= end) {
        if (!report.empty()) report += "; ";
        report += "EIP " + Hex(context.Eip) + " outside the loop " + Hex(loop) + "-" + Hex(end);
      }
    }
    ResumeThread(thread);
  }
  g_spin_stop = 1;
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  return report;
}

}  // namespace

const std::vector<ProbeLine>& ProbeLines() {
  static const std::vector<ProbeLine> lines = {
      {"access_violation_read", "c0000005 at the instruction, read of 00000008",
       AccessViolationRead},
      {"access_violation_write", "c0000005 at the instruction, write of 00000010",
       AccessViolationWrite},
      {"access_violation_execute", "c0000005 at a freed page, execution of it",
       AccessViolationExecute},
      {"divide_by_zero", "c0000094 at the DIV", DivideByZero},
      {"breakpoint", "80000003 at the INT3", Breakpoint},
      {"illegal_instruction", "c000001d at the UD2", IllegalInstruction},
      {"stack_overflow", "c00000fd on the overflowing thread", StackOverflow},
      {"fault_on_second_thread", "a read fault of another thread as on the first",
       FaultOnSecondThread},
      {"faults_after_threads", "faults delivered after 20 threads started and ended",
       FaultsAfterThreads},
      {"read_process_memory", "the own process's bytes exactly", ReadProcessMemoryOfSelf},
      {"read_process_memory_refuses", "reads of freed and no-access pages fail",
       ReadProcessMemoryRefuses},
      {"suspended_thread_context", "registers and EIP of a suspended spinning thread",
       SuspendedThreadContext},
  };
  return lines;
}

const ProbeLine* FindProbeLine(const std::string& name) {
  for (const ProbeLine& line : ProbeLines()) {
    if (name == line.name) return &line;
  }
  return nullptr;
}

}  // namespace fidelity
