// Colours: 0x00BBGGRR for an explicit colour, 0x80000000 plus a system colour
// index for a system colour, clNone for none.
#pragma once

#include <cstdint>
#include <string_view>

namespace fw {

// A colour value.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;         // black
constexpr TColor clNavy = 0x800000;          // navy blue
constexpr TColor clBlue = 0xFF0000;          // blue
constexpr TColor clGray = 0x808080;          // grey
constexpr TColor clWhite = 0xFFFFFF;         // white
constexpr TColor clRed = 0x0000FF;           // red
constexpr TColor clBtnFace = 0x8000000F;     // the system's button face colour
constexpr TColor clWindow = 0x80000005;      // the system's window background colour
constexpr TColor clWindowText = 0x80000008;  // the system's window text colour
constexpr TColor clNone = 0x1FFFFFFF;        // no colour at all

// True when the value names a system colour.
constexpr bool IsSystemColor(TColor color) {
  return (color & 0xFF000000u) == 0x80000000u;
}

// The colour of a name such as "clNavy"; false for an unknown name.
bool IdentToColor(std::string_view name, TColor* color);

}  // namespace fw
