// Ending the process at once, and restarting it: a new instance with the same command line
// that waits for this one to end and takes over its exception history through the
// restart block ("kestraponRestart" and the new process's id).
#pragma once

#include <windows.h>

#include <cstdint>

#include "crash/exception_history.h"

namespace crash {

// Terminates the current process with exit code 0: no runtime finalisation, no atexit
// handlers, no static destructors, no DLL detach notifications.
[[noreturn]] void EndProcessNow();

// Starts a new instance from this process's command line (suspended, no inherited
// handles, default start-up information), leaves it the restart block with `history`,
// resumes it and terminates this process with exit code 0, also when nothing could be
// started. A block that can't be made only costs the new instance its history.
[[noreturn]] void StartNewInstance(const ExceptionHistory& history);

// Run once, first, at the reporter's start-up: when the previous instance left a block
// for this process, waits until that instance has ended and returns its history; on an
// ordinary start (no block) returns an empty history at once.
ExceptionHistory AwaitPreviousInstance();

namespace restart_detail {

// Creates the restart block for the suspended process `new_process` (id
// `new_process_id`) with default security and fills it with `old_process_id`, the
// mapping handle duplicated into `new_process`, and `history`. Returns this process's
// mapping handle, which keeps the block alive until it is closed (the new process's
// duplicate keeps it too); null when the block could not be created, was already there
// (made by someone else) or could not be mapped.
HANDLE PublishRestartBlock(HANDLE new_process, uint32_t new_process_id, uint32_t old_process_id,
                           const ExceptionHistory& history);

}  // namespace restart_detail

}  // namespace crash
