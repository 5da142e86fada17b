// Raw data resources (RCDATA) of the executable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw {

// A view of resource bytes; valid for the life of the process.
struct ResourceBytes {
  const std::uint8_t* data = nullptr;  // null when the resource does not exist
  std::size_t size = 0;                // the number of bytes
};

// The RCDATA resource of that name in the executable.
ResourceBytes FindResourceBytes(const char* name);

}  // namespace fw
