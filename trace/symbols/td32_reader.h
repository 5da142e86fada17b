// Reads TD32 debug data ("FB09" or "FB0A") into a TMapFile: modules (0x120) give the unit
// segments, global publics (0x129) or, without them, aligned symbols (0x125) the publics,
// source modules (0x127) the lines, and the names subsection (0x130) the names they refer
// to. Every offset, count and name index is checked against the data before use; what does
// not fit is skipped.
#pragma once

#include <optional>
#include <string_view>

#include "trace/symbols/map_file.h"

namespace trace {

// Most subsection directories that are walked (the chain may loop in damaged data).
inline constexpr int kMaxTd32Directories = 64;

// True when data starts with a TD32 signature.
bool IsTd32(std::string_view data);

// Reads the TD32 data into map: false (and map unchanged) when the signature is missing.
// Publics and lines are sorted by address afterwards, and of two neighbouring segments of
// the same kind the first is cut to end before the second.
bool ReadTd32(std::string_view data, TMapFile& map);

// The TD32 data inside a file: for a PE image, the debug data at its debug directory's file
// position when the last section has raw data and starts at the debug directory's address
// (else none); any other file is TD32 data from its start.
std::optional<std::string_view> Td32InFile(std::string_view file);

}  // namespace trace
