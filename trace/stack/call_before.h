// The call-before test of the stack tracer: whether the bytes before an address end in a call
// instruction, so that the address can be the return point of that call.
#pragma once

#include <cstdint>

#include "trace/pe/address_space.h"

namespace trace {

// True when one of the call forms ends right before address: call rel32 (E8, 5 bytes), an
// indirect near call FF /2 or far call FF /3 of 2, 3, 4, 6 or 7 bytes, or a far call 9A
// (7 bytes). Reads the 8 bytes before address; when they are unreadable the answer is no.
bool CallsBefore(const AddressSpace& memory, uint32_t address);

}  // namespace trace
