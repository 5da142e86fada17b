#include "tests/fidelity/fault_triggers_win.h"

// Each trigger keeps the stack pointer it was entered with; the handler resumes a faulting
// trigger at fidelity_recover, which returns from the trigger with that stack pointer.
extern "C" {
__attribute__((used)) volatile DWORD g_resume_esp asm("_fidelity_resume_esp") = 0;
void TriggerRead() asm("_fidelity_trigger_read");
void TriggerWrite() asm("_fidelity_trigger_write");
void TriggerDivide() asm("_fidelity_trigger_divide");
void TriggerInt3() asm("_fidelity_trigger_int3");
void TriggerUd2() asm("_fidelity_trigger_ud2");
void TriggerExecute(DWORD target) asm("_fidelity_trigger_execute");
void TriggerStackOverflow() asm("_fidelity_trigger_stack_overflow");
extern const char kSiteRead[] asm("_fidelity_site_read");
extern const char kSiteWrite[] asm("_fidelity_site_write");
extern const char kSiteDivide[] asm("_fidelity_site_divide");
extern const char kSiteInt3[] asm("_fidelity_site_int3");
extern const char kSiteUd2[] asm("_fidelity_site_ud2");
extern const char kRecover[] asm("_fidelity_recover");
}

asm(R"(
  .text
  .globl _fidelity_trigger_read, _fidelity_site_read
_fidelity_trigger_read:
  movl %esp, _fidelity_resume_esp
_fidelity_site_read:
  movl 0x8, %eax
  ret

  .globl _fidelity_trigger_write, _fidelity_site_write
_fidelity_trigger_write:
  movl %esp, _fidelity_resume_esp
  xorl %eax, %eax
_fidelity_site_write:
  movl %eax, 0x10
  ret

  .globl _fidelity_trigger_divide, _fidelity_site_divide
_fidelity_trigger_divide:
  movl %esp, _fidelity_resume_esp
  movl $1, %eax
  xorl %edx, %edx
  xorl %ecx, %ecx
_fidelity_site_divide:
  divl %ecx
  ret

  .globl _fidelity_trigger_int3, _fidelity_site_int3
_fidelity_trigger_int3:
  movl %esp, _fidelity_resume_esp
_fidelity_site_int3:
  int3
  nop
  ret

  .globl _fidelity_trigger_ud2, _fidelity_site_ud2
_fidelity_trigger_ud2:
  movl %esp, _fidelity_resume_esp
_fidelity_site_ud2:
  ud2
  ret

  .globl _fidelity_trigger_execute
_fidelity_trigger_execute:
  movl 4(%esp), %eax
  movl %esp, _fidelity_resume_esp
  call *%eax
  ret

  .globl _fidelity_trigger_stack_overflow
_fidelity_trigger_stack_overflow:
  movl %esp, _fidelity_resume_esp
1:
  subl $4096, %esp
  orl $0, (%esp)
  jmp 1b

  .globl _fidelity_recover
_fidelity_recover:
  movl _fidelity_resume_esp, %esp
  ret
)");

namespace fidelity {
namespace {

volatile bool g_armed = false;
CapturedFault g_captured;

DWORD AddressOf(const void* p) {
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p));
}

// Records the armed fault and resumes the trigger at the recovery routine; passes on
// everything while disarmed. Entered from the system: nothing in it throws.
LONG CALLBACK CaptureHandler(EXCEPTION_POINTERS* pointers) noexcept {
  if (!g_armed) return EXCEPTION_CONTINUE_SEARCH;
  g_armed = false;
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  CapturedFault fault;
  fault.seen = true;
  fault.code = record->ExceptionCode;
  fault.address = AddressOf(record->ExceptionAddress);
  fault.eip = pointers->ContextRecord->Eip;
  fault.parameter_count = record->NumberParameters;
  for (DWORD i = 0; i < 2 && i < record->NumberParameters; ++i)
    fault.parameters[i] = static_cast<DWORD>(record->ExceptionInformation[i]);
  g_captured = fault;
  pointers->ContextRecord->Eip = AddressOf(kRecover);
  return EXCEPTION_CONTINUE_EXECUTION;
}

template <typename Trigger>
CapturedFault Capture(Trigger trigger) {
  InstallCaptureHandler();
  g_captured = CapturedFault{};
  g_armed = true;
  trigger();
  g_armed = false;
  return g_captured;
}

}  // namespace

FaultSites Sites() {
  return {AddressOf(kSiteRead), AddressOf(kSiteWrite), AddressOf(kSiteDivide), AddressOf(kSiteInt3),
          AddressOf(kSiteUd2)};
}

void InstallCaptureHandler() {
  static const PVOID handler = AddVectoredExceptionHandler(1, CaptureHandler);
  (void)handler;
}

CapturedFault CaptureRead() {
  return Capture(TriggerRead);
}
CapturedFault CaptureWrite() {
  return Capture(TriggerWrite);
}
CapturedFault CaptureDivide() {
  return Capture(TriggerDivide);
}
CapturedFault CaptureBreakpoint() {
  return Capture(TriggerInt3);
}
CapturedFault CaptureIllegalInstruction() {
  return Capture(TriggerUd2);
}
CapturedFault CaptureExecute(DWORD target) {
  return Capture([target] { TriggerExecute(target); });
}
CapturedFault CaptureStackOverflow() {
  return Capture(TriggerStackOverflow);
}

}  // namespace fidelity
