// Names of code addresses for the disassembler's comments and labels: the export name
// of the address space first, then a settable hook (filled by the symbol data reader).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "trace/pe/address_space.h"

namespace trace {

// An operation that names an address, or returns an empty text.
using NameHook = std::function<std::string(uint32_t address)>;

// Replaces the name hook (an empty function removes it).
void SetNameHook(NameHook hook);

// The export name of address, else the hook's name, else empty.
std::string NameOf(const AddressSpace& memory, uint32_t address);

}  // namespace trace
