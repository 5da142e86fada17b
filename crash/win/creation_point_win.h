// The code address from which a thread was created: the return address into the code that
// asked for the thread, found by unwinding the creating thread's own frames and stepping
// over the runtime's thread-starting routines (pthread_create, std::thread's start).
#pragma once

#include <cstdint>

namespace crash {

// The creation address for a creation routine entered from return_address: that address,
// or, while it lies in a runtime thread-starting routine, the return address one frame
// further out. extra_frames more frames are stepped over after that (a thread object's
// constructor). Frames of code without unwind information end the walk there.
uint32_t CreationPoint(uint32_t return_address, int extra_frames);

}  // namespace crash
