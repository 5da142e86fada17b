// Whether the calling thread holds the system's loader lock or its process-environment
// lock: while it does, no other thread could run the handling, so a report is handled on
// the calling thread itself.
#pragma once

namespace crash {

// True when the calling thread owns the loader lock or the process-environment lock. The
// process environment block is read through guarded reads; what can't be read counts as
// not held.
bool HoldsSystemLock();

}  // namespace crash
