// The pause of the process's other threads while an exception is handled. Used by the
// exception handling thread only: the snapshot and the exempt list are this module's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace crash {

// How long SuspendGuarded waits for each of its two mutexes.
inline constexpr DWORD kSuspendGuardWaitMs = 2000;

// Suspends the thread only when both the "HookTThread" mutex and the registry mutex could
// be taken within kSuspendGuardWaitMs each, so that no thread is stopped while it changes
// the registry or patches a thread class; false when the thread stays running.
bool SuspendGuarded(HANDLE thread);

// Pausing: with enumerate, the snapshot becomes the process's current threads; every
// thread of the snapshot other than the caller and not exempt is suspended (SuspendGuarded).
void PauseOtherThreads(bool enumerate);

// Resuming: every thread of the snapshot that the pause suspended is resumed;
// with enumerate, threads that are not in the snapshot (started during the handling)
// become exempt from later pauses while they live, and the snapshot is cleared.
void ResumeOtherThreads(bool enumerate);

// Drops the exempt threads that have ended, closing their handles.
void DropEndedExemptThreads();

// Closes the handles of all exempt threads and empties the list (shut-down).
void ReleaseExemptThreads();

// The ids of the exempt threads.
std::vector<uint32_t> ExemptThreadIds();

}  // namespace crash
