// The thread-creation hooks: every CreateThread call of the process's modules goes through
// the creation wrapper, which records the new thread in the registry (creator, creation
// address, the thread object's class) and starts it through the start wrapper, which
// reports an exception escaping the start routine and removes the entry at the thread's
// end. msvcrt's _beginthreadex and _beginthread are hooked as well, only to learn the
// creation address of their callers, since their own CreateThread call comes from msvcrt.
// ExitThread is hooked to remove the entry of a thread that ends through it (the C
// runtime's start routines do), since such a thread never returns to its start wrapper.
#pragma once

#include <windows.h>

namespace crash {

// Looks up the system's CreateThread and patches the import tables: of every module when
// the reporter is in the executable, else of the reporter's module alone. An import table
// found damaged in the reporter's own module is told in a message box.
void InstallThreadHooks();

// Puts the saved routines back in every slot that holds a wrapper, and the thread
// classes' bodies back in their virtual tables.
void RemoveThreadHooks();

// The creation wrapper, with CreateThread's arguments and result.
HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES security, SIZE_T stack_size,
                               LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                               LPDWORD thread_id);

}  // namespace crash
