#include "htmlabel/html_color.h"

#include <array>
#include <string>

namespace htmlabel {
namespace {

struct NamedColor {
  std::string_view name;
  Color value;
};

constexpr Color kSystem = 0x80000000u;

constexpr std::array<NamedColor, 40> kNamedColors{{
    {"clred", 0x0000FF},
    {"clblack", 0x000000},
    {"clblue", 0xFF0000},
    {"clgreen", 0x008000},
    {"claqua", 0xFFFF00},
    {"clyellow", 0x00FFFF},
    {"clfuchsia", 0xFF00FF},
    {"clwhite", 0xFFFFFF},
    {"cllime", 0x00FF00},
    {"clsilver", 0xC0C0C0},
    {"clgray", 0x808080},
    {"clolive", 0x008080},
    {"clnavy", 0x800000},
    {"clpurple", 0x800080},
    {"clteal", 0x808000},
    {"clmaroon", 0x000080},
    {"clbackground", kSystem + 1},
    {"clactivecaption", kSystem + 2},
    {"clinactivecaption", kSystem + 3},
    {"clmenu", kSystem + 4},
    {"clwindow", kSystem + 5},
    {"clwindowframe", kSystem + 6},
    {"clmenutext", kSystem + 7},
    {"clwindowtext", kSystem + 8},
    {"clcaptiontext", kSystem + 9},
    {"clactiveborder", kSystem + 10},
    {"clinactiveborder", kSystem + 11},
    {"clappworkspace", kSystem + 12},
    {"clhighlight", kSystem + 13},
    {"clhighlighttext", kSystem + 14},
    {"clbtnface", kSystem + 15},
    {"clbtnshadow", kSystem + 16},
    {"clgraytext", kSystem + 17},
    {"clbtntext", kSystem + 18},
    {"clinactivecaptiontext", kSystem + 19},
    {"clbtnhighlight", kSystem + 20},
    {"cl3ddkshadow", kSystem + 21},
    {"cl3dlight", kSystem + 22},
    {"clinfotext", kSystem + 23},
    {"clinfobk", kSystem + 24},
}};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// The pair at offset, 0 when the text ends inside it.
int HexPair(std::string_view digits, size_t offset) {
  if (offset + 2 > digits.size()) return 0;
  return HexDigit(digits[offset]) * 16 + HexDigit(digits[offset + 1]);
}

}  // namespace

Color ColorFromName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const NamedColor& entry : kNamedColors) {
    if (entry.name == lower) return entry.value;
  }
  return clBlack;
}

Color ColorFromHex(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  const int red = HexPair(text, 0);
  const int green = HexPair(text, 2);
  const int blue = HexPair(text, 4);
  return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}

Color ParseColor(std::string_view value) {
  if (!value.empty() && value.front() == '#') return ColorFromHex(value);
  return ColorFromName(value);
}

void ColorComponents(const DrawingSurface& surface, Color color, int* red, int* green, int* blue) {
  if (IsSystemColor(color)) color = surface.SystemColor(static_cast<int>(color & 0xFF));
  if (color == clNone) color = clBlack;
  *red = static_cast<int>(color & 0xFF);
  *green = static_cast<int>((color >> 8) & 0xFF);
  *blue = static_cast<int>((color >> 16) & 0xFF);
}

}  // namespace htmlabel
