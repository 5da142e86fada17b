#include "trace/stack/win/stack_trace_win.h"

#include "trace/stack/stack_copy_space.h"

#include <windows.h>

#include "trace/stack/stack_copy_space.h"
#include "trace/stack/stack_trace.h"
#include "trace/stack/win/process_trace_state_win.h"

namespace trace {

namespace {

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

void* Pointer(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

bool Readable(DWORD protection) {
  if ((protection & (PAGE_GUARD | PAGE_NOACCESS)) != 0) return false;
  const DWORD access = protection & 0xFF;
  return access == PAGE_READONLY || access == PAGE_READWRITE || access == PAGE_WRITECOPY ||
         access == PAGE_EXECUTE_READ || access == PAGE_EXECUTE_READWRITE ||
         access == PAGE_EXECUTE_WRITECOPY;
}

// The calling thread's stack position.
__attribute__((always_inline)) inline uint32_t StackPointer() {
  uint32_t esp;
  asm volatile("movl %%esp, %0" : "=r"(esp));
  return esp;
}

// The StackBase of the calling thread's information block (NT_TIB at fs:0, StackBase at 4).
uint32_t StackBase() {
  uint32_t base;
  asm volatile("movl %%fs:4, %0" : "=r"(base));
  return base;
}

}  // namespace

bool StackRangeReadable(uint32_t begin, uint32_t end) {
  if (begin == 0 || end <= begin) return false;
  // IsBadReadPtr alone would take a guard page's guard away (the stack below could no longer
  // grow), so the regions are checked first.
  uint32_t at = begin;
  while (at < end) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(Pointer(at), &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || !Readable(info.Protect)) return false;
    const uint32_t region_end = Address(info.BaseAddress) + static_cast<uint32_t>(info.RegionSize);
    if (region_end <= at) return false;  // a region ending at 4 GB
    at = region_end;
  }
  return !IsBadReadPtr(Pointer(begin), end - begin);
}

__attribute__((noinline)) std::string StackTrace(bool hide_items_without_lines,
                                                 bool relative_addresses, void* current_address,
                                                 bool exception_thread, bool external_exception,
                                                 void* stack_begin, void* stack_end,
                                                 void* thread_start, void** exception_address,
                                                 void** function_entry, TProgress* progress,
                                                 const StackCopy* stack_copy) {
  if (exception_address != nullptr) *exception_address = nullptr;
  if (function_entry != nullptr) *function_entry = nullptr;

  TStackTraceRequest request;
  request.hide_items_without_lines = hide_items_without_lines;
  request.relative_addresses = relative_addresses;
  request.current_address = Address(current_address);
  if (current_address == nullptr && !exception_thread) {
    request.current_address = Address(__builtin_return_address(0));
  }
  request.exception_thread = exception_thread;
  request.external_exception = external_exception;
  request.stack_begin = stack_begin != nullptr ? Address(stack_begin) : StackPointer();
  request.stack_end = stack_end != nullptr ? Address(stack_end) : StackBase();
  request.thread_start = Address(thread_start);
  const bool from_copy = stack_copy != nullptr && !stack_copy->bytes.empty() &&
                         request.stack_begin >= stack_copy->base &&
                         request.stack_end <= stack_copy->base + stack_copy->bytes.size();
  if (!from_copy && !StackRangeReadable(request.stack_begin, request.stack_end)) return {};

  TStackTraceFindings findings;
  TraceState& state = ProcessTraceState();
  ForgetProcessMemory();
  std::string text;
  if (from_copy) {
    // A state of its own over the copy: the process's keeps its caches of the live stack.
    const StackCopySpace space(state.memory(), stack_copy->base, stack_copy->bytes);
    TraceState copy_state(space, ProcessSymbolData(), state.main_module(), state.is_9x(), nullptr);
    text = StackTrace(copy_state, request, &findings, progress);
  } else {
    text = StackTrace(state, request, &findings, progress);
  }
  if (exception_address != nullptr) *exception_address = Pointer(findings.exception_address);
  if (function_entry != nullptr) *function_entry = Pointer(findings.function_entry);
  return text;
}

}  // namespace trace
