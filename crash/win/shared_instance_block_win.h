// The process's shared instance block: 20 bytes of named shared memory
// ("kestraponThreadNameBuf" and the process id) that every module carrying the reporter
// opens, holding the registry list's head, its two mutexes and the use count.
#pragma once

#include <windows.h>

#include <cstdint>

namespace crash {

// How the start went.
enum class SharedBlockStart {
  kCreated,      // this module created the block, its mutexes and named the main thread
  kOpened,       // another module had created it; the use count went up
  kAlreadyUsed,  // this module had started it before (nothing changed)
  kNoMapping,    // the named mapping could be neither created nor opened
  kNoView,       // the mapping exists but could not be mapped
};

// Creates or opens the block for this module (default security). A creator stores use
// count 1, creates both mutexes and an empty list, keeps the mapping handle in the block,
// and names the process's first thread "main thread".
SharedBlockStart StartSharedInstanceBlock();

// Gives up this module's use of the block: the last user removes the calling thread's
// entry (and frees the entries left, closing their handles) and closes the mapping and
// both mutexes; the view is unmapped.
void StopSharedInstanceBlock();

// This module's view of the block; null before the start and after the stop.
void* SharedInstanceBlockView();

// The watchdog's mutex of the block (offset 0); null without a block.
HANDLE WatchdogMutex();

// The registry mutex of the block (offset 4); null without a block.
HANDLE RegistryMutex();

// The mutex held while a thread class is patched and before a thread is suspended,
// "HookTThread" and the process id; created on first use, null when that fails.
HANDLE ThreadClassMutex();

}  // namespace crash
