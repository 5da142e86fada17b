// The machine code that turns an object and a method into a plain window procedure.
#pragma once

#include <array>
#include <cstdint>

namespace trace {

// Size of the thunk's code and data.
inline constexpr uint32_t kWindowProcThunkSize = 17;

// The 17 bytes of a thunk that lies at thunk_address: pop eax (the return address); push
// object; push eax; jmp through the dword at thunk_address + 13, which holds method. The
// method is thus entered as a stdcall routine with object before the four window procedure
// arguments.
std::array<uint8_t, kWindowProcThunkSize> BuildWindowProcThunk(uint32_t thunk_address,
                                                               uint32_t object, uint32_t method);

}  // namespace trace
