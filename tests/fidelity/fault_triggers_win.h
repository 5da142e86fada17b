// Routines that fault in a known way at a known instruction, and the record of what the
// process's first vectored exception handler saw when they did. After the fault the routine
// returns to its caller as if it had returned normally.
#pragma once

#include <windows.h>

namespace fidelity {

// What the first vectored exception handler received for the last armed fault.
struct CapturedFault {
  bool seen = false;
  DWORD code = 0;
  DWORD address = 0;  // the record's exception address
  DWORD eip = 0;      // the context's instruction pointer
  DWORD parameter_count = 0;
  DWORD parameters[2] = {};
};

// The faulting instructions, by their addresses.
struct FaultSites {
  DWORD read;    // mov eax, [8]
  DWORD write;   // mov [16], eax
  DWORD divide;  // div ecx with ecx = 0
  DWORD int3;    // int3
  DWORD ud2;     // ud2
};

// The addresses of the faulting instructions.
FaultSites Sites();

// Installs the capturing handler first in the process's vectored handler list (once).
void InstallCaptureHandler();

// Arms the handler, runs one trigger and gives what the handler saw (seen false when the
// trigger ran to its end without a fault reaching the handler).
CapturedFault CaptureRead();
CapturedFault CaptureWrite();
CapturedFault CaptureDivide();
CapturedFault CaptureBreakpoint();
CapturedFault CaptureIllegalInstruction();
// Calls target, which must fault when executed (an unmapped page).
CapturedFault CaptureExecute(DWORD target);
// Touches the stack page by page downwards until the system reports the overflow.
CapturedFault CaptureStackOverflow();

}  // namespace fidelity
