// The seam through which the stack tracer rewrites code: a call is redirected through a
// stub of its own, so that the return point behind the call lies in known code. The Windows
// shell writes the bytes (changing the page protection and allocating the stub); tests
// record what they are asked. The bytes themselves are built here.
#pragma once

#include <array>
#include <cstdint>

namespace trace {

// Rewrites code in the address space the tracer reads.
class CodePatcher {
 public:
  // Releases nothing of the code it rewrote: stubs stay in place.
  virtual ~CodePatcher() = default;
  // Places a stub "call target; ret" (CallAndReturnStub) and rewrites the call rel32 at
  // call_address as a jmp rel32 to it (JumpRel32); returns the stub's address, 0 on failure.
  virtual uint32_t RedirectCall(uint32_t call_address, uint32_t target) = 0;
};

// The 6 bytes of a stub at stub that calls target and returns: E8 rel32, C3.
std::array<uint8_t, 6> CallAndReturnStub(uint32_t stub, uint32_t target);
// The 5 bytes of a jmp rel32 at from to to: E9 rel32.
std::array<uint8_t, 5> JumpRel32(uint32_t from, uint32_t to);

}  // namespace trace
