// The threads of the running process: their ids in the system's order, and a thread
// opened by id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace crash {

// The ids of all threads of the current process: the toolhelp thread snapshot on the 9x
// family, the system's process list (NtQuerySystemInformation, class 5) on the NT family.
// Empty when neither is available.
std::vector<uint32_t> EnumerateProcessThreads();

// A handle of the thread with the access asked for: OpenThread where kernel32 has it, else
// NtOpenThread on the NT family; null on any failure.
HANDLE OpenThreadById(uint32_t thread_id, DWORD access);

}  // namespace crash
