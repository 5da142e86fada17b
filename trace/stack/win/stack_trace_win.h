// The stack trace of a thread of the running process, as the bug report asks for it: raw
// pointers, defaults taken from the calling thread, the process's trace state.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "trace/stack/progress.h"

namespace trace {

// The bytes of a stack as they were when an exception was raised, from base on.
struct StackCopy {
  uint32_t base = 0;
  std::span<const uint8_t> bytes;
};

// Traces the stack [stack_begin, stack_end) of a thread of this process with the process's
// trace state (ProcessTraceState). current_address null (when not the exception thread)
// means the return address into the caller of this function; stack_begin null means the
// calling thread's current stack position, stack_end null the StackBase of its thread
// information block. thread_start, when given, is the outermost certain item.
// exception_address and function_entry, when given, are zeroed first and then receive the
// corrected exception address and the entry of the function that holds it. Returns the
// trace text; empty when the range is empty or not wholly readable (a guard page counts as
// unreadable and is left untouched). With stack_copy, the stack's bytes in the copy's range
// are read from the copy (the live stack has been unwound and reused since), everything
// else from the process.
std::string StackTrace(bool hide_items_without_lines, bool relative_addresses,
                       void* current_address, bool exception_thread, bool external_exception,
                       void* stack_begin, void* stack_end, void* thread_start,
                       void** exception_address, void** function_entry, TProgress* progress,
                       const StackCopy* stack_copy = nullptr);

// True when every page of [begin, end) is committed and readable without touching a guard
// page, and IsBadReadPtr agrees; false for an empty range.
bool StackRangeReadable(uint32_t begin, uint32_t end);

}  // namespace trace
