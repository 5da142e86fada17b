// Base64 encoding with the RFC 4648 alphabet, "=" padding and no line breaks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trace {

// Encodes `count` bytes starting at `bytes`; the result has 4 * ceil(count / 3) characters.
std::string Base64Encode(const void* bytes, size_t count);

// Encodes the bytes of `data`.
std::string Base64Encode(std::string_view data);

}  // namespace trace
