#include "trace/win/try_read_memory_win.h"

#include <windows.h>

#include "trace/scrambled_text.h"
#include "trace/win/os_info_win.h"

// Copies count bytes from source to target; gives 1, or 0 when a fault inside the copy was
// turned into a return through the recovery label by GuardedCopyHandler below.
extern "C" uint32_t GuardedCopy(void* target, const void* source,
                                uint32_t count) asm("_trace_guarded_copy");
extern "C" const char kGuardedCopyFaultBegin[] asm("_trace_guarded_copy_fault_begin");
extern "C" const char kGuardedCopyFaultEnd[] asm("_trace_guarded_copy_fault_end");
extern "C" const char kGuardedCopyRecover[] asm("_trace_guarded_copy_recover");

asm(R"(
  .text
  .globl _trace_guarded_copy
  .globl _trace_guarded_copy_fault_begin
  .globl _trace_guarded_copy_fault_end
  .globl _trace_guarded_copy_recover
_trace_guarded_copy:
  pushl %esi
  pushl %edi
  movl 12(%esp), %edi
  movl 16(%esp), %esi
  movl 20(%esp), %ecx
  cld
_trace_guarded_copy_fault_begin:
  rep movsb
_trace_guarded_copy_fault_end:
  movl $1, %eax
  popl %edi
  popl %esi
  ret
_trace_guarded_copy_recover:
  xorl %eax, %eax
  popl %edi
  popl %esi
  ret
)");

namespace trace {
namespace {

constexpr auto kKernelName = Scramble("kernel32.dll");
constexpr auto kReadName = Scramble("ReadProcessMemory");
constexpr auto kAddHandlerName = Scramble("AddVectoredExceptionHandler");

using ReadProcessMemoryFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, LPVOID, SIZE_T, SIZE_T*);
using AddHandlerFunction = PVOID(WINAPI*)(ULONG, PVECTORED_EXCEPTION_HANDLER);

// Resumes a fault of the guarded copy's copying instruction at its recovery label; leaves
// every other exception to the next handler. Entered from the system: no C++ exception may
// leave it, and nothing in it throws.
LONG CALLBACK GuardedCopyHandler(EXCEPTION_POINTERS* pointers) noexcept {
  const DWORD code = pointers->ExceptionRecord->ExceptionCode;
  // Wine under a user-mode emulator reports a faulting access as an illegal instruction;
  // the copying instruction itself is never illegal, so that code means the same here.
  if (code != EXCEPTION_ACCESS_VIOLATION && code != EXCEPTION_GUARD_PAGE &&
      code != EXCEPTION_IN_PAGE_ERROR && code != EXCEPTION_ILLEGAL_INSTRUCTION &&
      code != EXCEPTION_PRIV_INSTRUCTION)
    return EXCEPTION_CONTINUE_SEARCH;
  const auto eip = static_cast<uintptr_t>(pointers->ContextRecord->Eip);
  if (eip < reinterpret_cast<uintptr_t>(kGuardedCopyFaultBegin) ||
      eip >= reinterpret_cast<uintptr_t>(kGuardedCopyFaultEnd))
    return EXCEPTION_CONTINUE_SEARCH;
  pointers->ContextRecord->Eip =
      static_cast<DWORD>(reinterpret_cast<uintptr_t>(kGuardedCopyRecover));
  return EXCEPTION_CONTINUE_EXECUTION;
}

HMODULE KernelModule() {
  const std::string module_name = kKernelName.Reveal();
  if (OperatingSystem().is_9x) return GetModuleHandleA(module_name.c_str());
  const std::wstring wide(module_name.begin(), module_name.end());
  return GetModuleHandleW(wide.c_str());
}

// How reads are made: the guarded copy where vectored exception handlers exist (on Wine a
// process-memory read of the own process goes through the server, which under an
// emulator reads the wrong address space), else the system's process-memory read.
struct Reader {
  bool guarded = false;
  ReadProcessMemoryFunction read_process_memory = nullptr;
};

Reader ResolveReader() {
  Reader reader;
  HMODULE kernel = KernelModule();
  if (kernel == nullptr) return reader;
  const auto add_handler = reinterpret_cast<AddHandlerFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, kAddHandlerName.Reveal().c_str())));
  if (add_handler != nullptr && add_handler(1, &GuardedCopyHandler) != nullptr) {
    reader.guarded = true;
    return reader;
  }
  reader.read_process_memory = reinterpret_cast<ReadProcessMemoryFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, kReadName.Reveal().c_str())));
  return reader;
}

// True when every page of the range is committed and readable without touching a guard page.
bool IsReadable(uintptr_t address, uint32_t count) {
  const uintptr_t end = address + count;
  if (end < address) return false;
  while (address < end) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof(info)) != sizeof(info))
      return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0 ||
        info.Protect == 0)
      return false;
    const uintptr_t region_end =
        reinterpret_cast<uintptr_t>(info.BaseAddress) + static_cast<uintptr_t>(info.RegionSize);
    if (region_end <= address) return false;
    address = region_end;
  }
  return true;
}

const Reader& CurrentReader() {
  static const Reader reader = ResolveReader();
  return reader;
}

}  // namespace

bool GuardedCopyMemory(void* target, const void* source, uint32_t count) {
  if (!CurrentReader().guarded) return false;
  return GuardedCopy(target, source, count) != 0;
}

bool TryReadMemory(const void* address, void* buffer, uint32_t count) {
  if (address == nullptr) return false;
  const Reader& reader = CurrentReader();
  if (count == 0) return true;
  if (reader.guarded) {
    // The check keeps guard pages (thread stacks) intact; the handler covers memory that
    // is freed between the check and the copy.
    return IsReadable(reinterpret_cast<uintptr_t>(address), count) &&
           GuardedCopy(buffer, address, count) != 0;
  }
  if (reader.read_process_memory == nullptr) return false;
  SIZE_T done = 0;
  return reader.read_process_memory(GetCurrentProcess(), address, buffer, count, &done) &&
         done == count;
}

}  // namespace trace
