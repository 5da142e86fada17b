#include "tools/symtool/code_identity.h"

#include <cstdio>

namespace symtool {
namespace {

// Sections the second link may change: the resources it adds to, the relocations and
// debugging data placed behind them.
bool MayDiffer(const PeSection& section) {
  return section.name == ".rsrc" || section.name == ".reloc" ||
         section.name.rfind(".debug", 0) == 0;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

}  // namespace

std::optional<std::string> CodeDifference(const PeDebugImage& first, const PeDebugImage& second) {
  if (first.image_base() != second.image_base()) return "the image base differs";
  if (first.entry_point() != second.entry_point()) return "the entry point differs";
  if (first.code_start() != second.code_start() || first.code_end() != second.code_end())
    return "the code range differs";
  size_t compared = 0;
  for (const PeSection& section : first.sections()) {
    if (MayDiffer(section)) continue;
    const PeSection* other = second.Find(section.name);
    if (!other) return "section " + section.name + " is missing";
    if (other->virtual_address != section.virtual_address ||
        other->virtual_size != section.virtual_size)
      return "section " + section.name + " moved from " + Hex(section.virtual_address) + "+" +
             Hex(section.virtual_size) + " to " + Hex(other->virtual_address) + "+" +
             Hex(other->virtual_size);
    if (first.Contents(section) != second.Contents(*other))
      return "the bytes of section " + section.name + " differ";
    ++compared;
  }
  if (compared == 0) return "no section to compare";
  return std::nullopt;
}

}  // namespace symtool
