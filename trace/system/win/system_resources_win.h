// Free system resources of the 9x family, in percent.
#pragma once

#include <cstdint>

namespace trace {

// Which resource FreeSystemResources reports.
enum class SystemResource : uint16_t {
  kSystem = 0,  // the smaller of GDI and USER
  kGdi = 1,     // the GDI heap
  kUser = 2,    // the USER heap
};

// The free share of a resource from user.exe's GetFreeSystemResources, called through the
// flat thunk; 0 on the NT family and when any piece is missing.
uint32_t FreeSystemResources(SystemResource kind);

}  // namespace trace
