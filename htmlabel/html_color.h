// Colour values written in markup attributes: "#RRGGBB" or a colour name such
// as "clRed" or "cl3DDkShadow".
#pragma once

#include <string_view>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

// The colour of a name, compared without regard to case; black for an unknown name.
Color ColorFromName(std::string_view name);

// The colour of the six hexadecimal digits after a leading "#" (red, green,
// blue pairs; a pair cut short by the end counts 0; characters that are no
// hexadecimal digit count 0).
Color ColorFromHex(std::string_view text);

// An attribute colour: "#..." read as hexadecimal, anything else as a name.
Color ParseColor(std::string_view value);

// Splits a colour into red, green and blue, resolving system colours on surface.
void ColorComponents(const DrawingSurface& surface, Color color, int* red, int* green, int* blue);

}  // namespace htmlabel
