// The stack tracer's state of the running process: one TraceState over the live address
// space, with the modules' own symbol data and the process's code patcher, kept from one
// trace to the next while its users hold it.
#pragma once

#include "trace/stack/stack_trace.h"

namespace trace {

// Takes a reference to the process's state (the crash reporter's initialisation).
void AcquireProcessTraceState();
// Gives one back (its finalisation); the last one drops the state, so that the next trace
// starts with empty module and function lists. A release without an acquire does nothing.
void ReleaseProcessTraceState();
// The references held now.
int ProcessTraceStateReferences();

// The process's state, made on first use: the live address space read through a page cache
// (ProcessMemory), symbol data from each module's embedded block or files beside it (kept
// only when valid), the program's executable as main module, the 9x family from the
// operating system record, and a WinCodePatcher. One trace at a time.
TraceState& ProcessTraceState();

// Drops the state's cached pages and answers of the process (not its modules and
// functions): every trace begins with it, so that it reads the process as it is.
void ForgetProcessMemory();

// The symbol data source of the process's state: the module's symbol data when valid, else
// null.
SymbolDataSource ProcessSymbolData();

}  // namespace trace
