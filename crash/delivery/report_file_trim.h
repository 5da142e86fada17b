// The size rule of the bug report file: when the file has grown past its maximum, the
// oldest reports are dropped whole until it holds less than three quarters of it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace crash {

// True when a report starts at offset at: "date/time" there, at the file's start or at
// the start of a line that follows an empty line (each report is saved with CR LF CR LF
// after it). The header's "exec. date/time" and "module date/time" lines don't count.
bool StartsReport(std::string_view file, size_t at);

// Where the kept part of the file begins: the first report start whose distance to the
// end is less than max_size - max_size / 4. None when max_size is 0, the file is not
// larger than max_size, or no report start qualifies (the file then stays as it is).
std::optional<size_t> TrimOffset(std::string_view file, size_t max_size);

// Applies the rule in place: the kept bytes are moved to the front; returns the length
// the file is to be cut to (its own length when nothing is dropped).
size_t TrimReportFile(std::span<char> file, size_t max_size);

}  // namespace crash
