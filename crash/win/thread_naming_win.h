// Thread names announced by the debugger convention: RaiseException with code 0x406D1388
// and four parameters 0x1000, the name's address, the thread id (-1: the raising thread)
// and 0.
#pragma once

#include <windows.h>

#include <cstdint>

namespace crash {

// The exception code of the naming convention.
inline constexpr DWORD kThreadNamingCode = 0x406D1388;
// Longest name taken from an announcement.
inline constexpr uint32_t kMaxAnnouncedName = 255;

// When the record (read through guarded reads) is a valid announcement, its name (read up
// to its zero byte, at most kMaxAnnouncedName bytes, through guarded reads) becomes the
// named thread's registry name. True when a thread was named.
bool CheckThreadNaming(const EXCEPTION_RECORD* record);

// Installs a vectored handler that names threads from announcements and lets the raising
// thread go on, as a debugger does; other exceptions pass by. Idempotent.
void InstallThreadNamingListener();

// Removes that handler.
void RemoveThreadNamingListener();

}  // namespace crash
