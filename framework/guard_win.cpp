// Processor faults become C++ exceptions by redirecting the faulting thread:
// the vectored handler sets the thread's context so that it resumes in a
// stub that looks as if the faulting instruction had called it, and the stub
// throws. The DWARF unwinder then unwinds from the fault point through our
// own frames (compiled with -fnon-call-exceptions and asynchronous unwind
// tables) to the catch of the nearest CallGuarded.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "framework/application.h"
#include "framework/exception.h"
#include "framework/guard.h"

// The stub below: pushes ECX and jumps to fw_raise_pending_fault.
extern "C" void fw_fault_stub();

namespace fw {

namespace {

// The fault a thread is about to raise.
struct PendingFault {
  int depth = 0;
  DWORD code = 0;
  DWORD address = 0;
  bool target_known = false;
  DWORD access = 0;
  DWORD target = 0;
  DWORD stack_pointer = 0;  // ESP at the faulting instruction
  bool raising = false;     // marked in g_raising until a scope ends
};

thread_local PendingFault t_fault;

// The threads raising a fault now (0: a free slot); a thread past the slots is not told.
constexpr int kRaisingSlots = 64;
std::atomic<DWORD> g_raising[kRaisingSlots];

void MarkRaising(DWORD id) {
  for (std::atomic<DWORD>& slot : g_raising) {
    DWORD expected = 0;
    if (slot.load() == id || slot.compare_exchange_strong(expected, id)) return;
  }
}

void UnmarkRaising(DWORD id) {
  for (std::atomic<DWORD>& slot : g_raising) {
    DWORD expected = id;
    if (slot.compare_exchange_strong(expected, 0)) return;
  }
}
thread_local RaisedFault t_raised;

// The StackBase of the calling thread's information block.
DWORD StackTop() {
  DWORD top;
  asm volatile("movl %%fs:4, %0" : "=r"(top));
  return top;
}

// Keeps the stack from the faulting instruction's position up, as it is before the throw.
void KeepFaultStack(const PendingFault& fault) {
  t_raised.address = fault.address;
  t_raised.stack_pointer = fault.stack_pointer;
  t_raised.stack.clear();
  const DWORD top = StackTop();
  if (fault.stack_pointer == 0 || top <= fault.stack_pointer) return;
  const DWORD size = std::min<DWORD>(top - fault.stack_pointer, kFaultStackCopyLimit);
  try {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(fault.stack_pointer);
    t_raised.stack.assign(bytes, bytes + size);
  } catch (...) {
    // Without memory for the copy the report traces what is left of the live stack.
    t_raised.stack.clear();
  }
}

// The address range of our executable's image: only faults in our own code
// are raised as exceptions; a fault inside a system DLL must not be unwound
// through its frames.
bool InOurImage(DWORD address) {
  static const DWORD base = reinterpret_cast<DWORD>(GetModuleHandleA(nullptr));
  static const DWORD size = [] {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
  }();
  return address - base < size;
}

LONG CALLBACK RedirectFault(EXCEPTION_POINTERS* pointers) {
  PendingFault& fault = t_fault;
  if (fault.depth == 0) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  CONTEXT* context = pointers->ContextRecord;
  const DWORD code = record->ExceptionCode;
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
      break;
    default:
      return EXCEPTION_CONTINUE_SEARCH;
  }
  if (!InOurImage(context->Eip)) return EXCEPTION_CONTINUE_SEARCH;
  const bool target_known = code == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2;
  fault.code = code;
  fault.address = context->Eip;
  fault.target_known = target_known;
  fault.access = target_known ? record->ExceptionInformation[0] : 0;
  fault.target = target_known ? record->ExceptionInformation[1] : 0;
  fault.stack_pointer = context->Esp;
  fault.raising = true;
  MarkRaising(GetCurrentThreadId());
  // The stub pushes ECX as its return address: one past the faulting
  // instruction, so that the unwinder (which looks up return address - 1)
  // finds the faulting instruction's own unwind and landing-pad entries.
  // ECX is a scratch register that no unwind rule depends on.
  context->Ecx = context->Eip + 1;
  context->Eip = reinterpret_cast<DWORD>(&fw_fault_stub);
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

// Entered from the stub with the faulting instruction as its caller.
extern "C" __attribute__((used, noinline, force_align_arg_pointer)) void fw_raise_pending_fault() {
  const PendingFault fault = t_fault;
  KeepFaultStack(fault);
  const std::string message = SystemExceptionMessage(
      fault.code, fault.address, ModuleFileNameAt(fault.address), fault.access != 0, fault.target);
  switch (fault.code) {
    case EXCEPTION_ACCESS_VIOLATION:
      throw EAccessViolation(message, fault.code, fault.address);
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      throw EDivByZero(message, fault.code, fault.address);
    default:
      throw EIntOverflow(message, fault.code, fault.address);
  }
}

asm(".text\n"
    ".globl _fw_fault_stub\n"
    "_fw_fault_stub:\n"
    "  pushl %ecx\n"
    "  jmp _fw_raise_pending_fault\n");

ExternalExceptionScope::ExternalExceptionScope() {
  ++t_fault.depth;
}

ExternalExceptionScope::~ExternalExceptionScope() {
  --t_fault.depth;
  if (t_fault.raising) {
    t_fault.raising = false;
    UnmarkRaising(GetCurrentThreadId());
  }
}

bool IsRaisingFault(std::uint32_t thread_id) {
  for (const std::atomic<DWORD>& slot : g_raising) {
    if (slot.load() == thread_id) return true;
  }
  return false;
}

std::string ModuleFileNameAt(std::uint32_t address) {
  MEMORY_BASIC_INFORMATION region;
  if (VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) != sizeof region ||
      region.State != MEM_COMMIT || !region.AllocationBase) {
    return {};
  }
  char path[MAX_PATH];
  const DWORD length =
      GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase), path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  std::string name(path, length);
  const size_t slash = name.find_last_of("\\/");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

const RaisedFault& LastRaisedFault() {
  return t_raised;
}

void InstallExternalExceptionHandler() {
  static PVOID handler = AddVectoredExceptionHandler(1, RedirectFault);
  (void)handler;
}

void HandleCurrentException(TObject* sender) noexcept {
  try {
    try {
      throw;
    } catch (const Exception& e) {
      if (Application) Application->HandleException(sender, e);
    } catch (const std::exception& e) {
      if (Application) Application->HandleException(sender, Exception(e.what()));
    } catch (...) {
      if (Application) Application->HandleException(sender, Exception("Unknown exception"));
    }
  } catch (...) {
    // The handler itself failed; nothing is left to report it to.
    OutputDebugStringA("An exception escaped the application exception handler");
  }
}

}  // namespace fw
