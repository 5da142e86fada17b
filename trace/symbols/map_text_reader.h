// Reads a text map file into a TMapFile: the segments of "Detailed map of segments", the
// publics of "Publics by Value", the lines of every "Line numbers for" section, and the
// "Program entry point at" line. A line that does not have the expected shape, or whose
// numbers do not convert, is ignored.
//
// Lines end at LF (a CR before it is dropped); leading blanks are skipped and offsets in a
// line count from its first non-blank character. A section's heading may be followed by blank
// lines; its entries then run to the next empty line.
#pragma once

#include <string_view>

#include "trace/symbols/map_file.h"

namespace trace {

// Reads the map text into map, which becomes valid whatever the text holds. Offsets are
// added to the map's code start (segment 1) or data start (segment 2).
void ReadMapText(std::string_view text, TMapFile& map);

}  // namespace trace
