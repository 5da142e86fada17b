// Blowfish's initial P-array and S-boxes (the fractional hexadecimal digits of pi).
#pragma once

#include <cstddef>
#include <cstdint>

namespace trace {

inline constexpr size_t kBlowfishPWords = 18;
inline constexpr size_t kBlowfishSBoxes = 4;
inline constexpr size_t kBlowfishSWords = 256;

// Initial P-array, beginning 0x243F6A88, 0x85A308D3.
extern const uint32_t kBlowfishInitialP[kBlowfishPWords];
// Initial S-boxes, continuing the digits of pi after the P-array.
extern const uint32_t kBlowfishInitialS[kBlowfishSBoxes][kBlowfishSWords];

}  // namespace trace
