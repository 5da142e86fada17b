// Loaded modules of the running process: the module of an address, its image headers and
// data directories, and its exports with forwarders resolved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "trace/pe/pe_image.h"

namespace trace {

// A module handle with the module's file name.
struct LoadedModule {
  uint32_t handle = 0;    // allocation base of the address's region
  std::string file_name;  // with folder; empty when the allocation is no loaded module
};

// The allocation an address belongs to: its region must be committed and have an allocation
// base. The file name comes from GetModuleFileNameA (9x) or GetModuleFileNameW (NT, turned
// into the ANSI code page).
std::optional<LoadedModule> ModuleOfAddress(uint32_t address);

// The file name of a loaded module; empty when module is none.
std::string ModuleFileName(uint32_t module);

// The image headers of a loaded module; none unless "MZ" and "PE\0\0" are there.
std::optional<PeHeaders> ModuleImageHeaders(uint32_t module);

// Address of the contents of a module's data directory at index (0: exports); 0 when absent.
uint32_t ModuleImageDirectory(uint32_t module, int index);

// Address of the export with exactly this name, forwarders followed and patched entries read
// from the file on disk; GetProcAddress when the walk finds nothing; 0 when nothing does.
uint32_t ModuleExportByName(uint32_t module, std::string_view name);

// ModuleExportByName for an ordinal.
uint32_t ModuleExportByOrdinal(uint32_t module, uint32_t ordinal);

// The readable name of the export of module that starts at address ("#" and the ordinal when
// unnamed); empty when none does.
std::string ModuleExportName(uint32_t module, uint32_t address);

}  // namespace trace
