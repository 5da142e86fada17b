// Import-address-table patching of the loaded modules: the slots that hold one routine's
// address are made to hold another's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace crash {

// The modules of the process: every committed region whose allocation base is its own base
// and that has a module file name. On the 9x family modules in the shared area (from
// 0x80000000) are left out.
std::vector<uint32_t> ProcessModules();

// What one module's walk did.
struct ImportPatchResult {
  int slots_changed = 0;  // slots that now hold the replacement
  bool invalid = false;   // an address table lay past the directory or the image: walk stopped
};

// Replaces, in every import descriptor's address table of module, each slot that holds one
// of the from addresses by to. Every read of the module is bounded and guarded; a slot is
// written with its page made writable for the moment.
ImportPatchResult PatchImportSlots(uint32_t module, std::span<const uint32_t> from, uint32_t to);

}  // namespace crash
