// The version of a file from its version resource.
#pragma once

#include <cstdint>
#include <string>

namespace trace {

// The fixed file info's version as MakeFileVersion forms it: the most significant dword in
// the high 32 bits; 0 when the file has no version resource.
uint64_t FileVersion(const std::string& path);

}  // namespace trace
