// Adding a public read from map text or TD32 data to a TMapFile: compiler helper names are
// skipped, the name is split into unit and name by the export-name demangling, a public
// named like its unit's segment becomes "initialization", and a public from another unit
// than its segment's gets that unit in front. For TD32 data the publics also shape the
// segments: the segment added last is stretched up to the public, and a public of another
// unit outside every segment starts a new one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/symbols/map_file.h"

namespace trace {

// A name split by the export-name demangling: the unit between the first two "@" of a
// mangled name (empty for others) and the rest in readable form.
struct SplitName {
  std::string unit;
  std::string name;
};

// Splits a public's name into its unit and its readable name.
SplitName SplitPublicName(std::string_view raw);

// True for the names of compiler helper data ("@$x" with "$" as fifth character).
bool IsSkippedPublicName(std::string_view raw);

// Where a public comes from.
enum class PublicSource { kMapText, kTd32 };

// Adds the public raw at the absolute address, of kind code, by the rules above.
void AddPublic(TMapFile& map, bool code, std::string_view raw, uint32_t address,
               PublicSource source);

}  // namespace trace
