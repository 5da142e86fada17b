// Whole files read into memory, bounded in size, through the C runtime's files alone (the
// program carries no stream library for a handful of reads).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace trace {

enum class FileReadError { kNone, kOpen, kTooLarge, kRead };

// The file's bytes; none when it cannot be opened or read or holds more than max_bytes
// (error, when given, says which).
std::optional<std::string> ReadFileContents(const std::string& path, uint64_t max_bytes,
                                            FileReadError* error = nullptr);

// True when the file can be opened for reading.
bool FileReadable(const std::string& path);

}  // namespace trace
