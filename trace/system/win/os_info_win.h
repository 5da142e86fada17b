// The operating system record of the running system.
#pragma once

#include "trace/system/os_info.h"

namespace trace {

// The record from GetVersionExA (9x family) or GetVersionExW (NT family), computed on the
// first call and cached; callers get a copy.
OsInfo OperatingSystem();

}  // namespace trace
