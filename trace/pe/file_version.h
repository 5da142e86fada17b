// File versions as one 64-bit value: the four 16-bit parts, most significant first.
#pragma once

#include <cstdint>
#include <string>

namespace trace {

// The value of the parts a.b.c.d.
constexpr uint64_t MakeFileVersion(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  return uint64_t{a} << 48 | uint64_t{b} << 32 | uint64_t{c} << 16 | d;
}

// The four parts, high to low, in decimal, joined by "." ("6.1.7601.17514").
std::string FileVersionText(uint64_t version);

}  // namespace trace
