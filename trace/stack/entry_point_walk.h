// The walk from a module's entry point at its registration: the first call there that ends
// the program (a function named "@Halt0") is redirected through a stub, so that the return
// point behind it lies in code the tracer knows, and the entry point's function is cached
// as "EntryPoint" with that call among its known calls.
#pragma once

#include <cstdint>

#include "trace/pe/address_space.h"
#include "trace/stack/code_patcher.h"
#include "trace/stack/function_cache.h"
#include "trace/stack/module_list.h"

namespace trace {

// What the walk did.
struct TEntryPointWalk {
  uint32_t call_address = 0;  // the "@Halt0" call found, 0 when none was
  uint32_t target = 0;        // its target (through a jump stub: the stub's destination)
  uint32_t stub = 0;          // the stub the patcher placed, 0 when it failed or was not asked
  int entry_function = -1;    // the cache index of "EntryPoint", -1 when not looked up
};

// Walks the code of the module at module_index from its entry point when the module has
// symbol data: instruction by instruction until an invalid one, the end of the code range
// or a jump out of the code range. A call to an indirect jump stub (FF 25) counts as a call
// to the stub's destination.
TEntryPointWalk WalkEntryPoint(const AddressSpace& memory, ModuleList& modules,
                               FunctionCache& cache, int module_index, CodePatcher& patcher);

}  // namespace trace
