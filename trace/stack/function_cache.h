// The function cache of the stack tracer: functions parsed once, with their module, name and
// the tracer's verdict (approved as real code on the stack, or rejected), and the tests of
// code areas and return points made on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "trace/pe/address_space.h"
#include "trace/stack/module_list.h"
#include "trace/x86/x86_function.h"

namespace trace {

// Chains of jumps from one function to the next are followed this deep, no further.
inline constexpr int kMaxJumpDepth = 32;

// One cached function.
struct TCachedFunction {
  int module_index = -1;  // index in the module list, -1 when no module holds it
  std::string name;       // the given name, its public symbol or its export name
  TFunctionInfo info;     // what ParseFunction found
  bool approved = false;  // confirmed as code the stack passes through
  bool rejected = false;  // ruled out: its code areas count for nothing
};

// What the return-point test found out about the call before the return point.
struct TReturnCall {
  uint32_t address = 0;       // the call instruction, 0 when none was named
  uint32_t target = 0;        // its target, when known
  bool target_known = false;  // target holds the call's target
};

// The cache, grown by doubling from 16 entries.
class FunctionCache {
 public:
  // Reads code through memory; modules are found and registered in modules.
  FunctionCache(const AddressSpace& memory, ModuleList& modules);

  // The index of the function whose entry point is address, parsed and appended when new;
  // -1 when there is none (address 0 without force, or code that does not parse). name
  // names a new function (else its public symbol, else its export); module_index < 0 lets
  // the module list find the module. force turns code that does not parse into a function
  // of one point at address. approve approves the function found. The functions that a new
  // one jumps to are looked up the same way, kMaxJumpDepth deep at most.
  int FindFunction(uint32_t address, std::string_view name, int module_index, bool force,
                   bool approve);
  // Approves the function at index and, through their jumps, the cached functions it jumps
  // to (each once).
  void Approve(int index);
  // Approves the cached function whose entry point is address; false when none is cached.
  bool ApproveEntry(uint32_t address);
  // Marks the function at index rejected.
  void Reject(int index);
  // Adds call to the known calls of the function at index, in place of one with the same
  // next address.
  void AddKnownCall(int index, const TKnownCall& call);

  // True when the function at index is not rejected and one of its code areas has
  // begin < address <= end + 1.
  bool InCodeArea(int index, uint32_t address) const;
  // True when address can be the return point of a call in the function at index. Not
  // strict (a guess from the stack): address follows one of its unknown calls, else one of
  // its known calls. Strict (a certain address): a function of one point has only its entry;
  // a software exception (exception_address non-zero) raised by a call to a function named
  // "@RaiseExcept" or "Error" moves address to exception_address; else address must start
  // an instruction in a code area. call tells what was found of the call.
  bool IsReturnPoint(int index, uint32_t exception_address, uint32_t& address, TReturnCall& call,
                     bool strict);
  // The function (looked up with approval) at the highest of the module's exported function
  // addresses and entry point that lies below address; -1 when none does.
  int NearestFunctionStart(int module_index, uint32_t address);

  // The cached functions in the order they were added.
  const std::vector<TCachedFunction>& functions() const { return functions_; }
  // Room for entries before the cache grows again.
  size_t capacity() const { return capacity_; }
  // The index of the cached function whose entry point is address; -1 when none is.
  int IndexOfEntry(uint32_t address) const;

 private:
  int Find(uint32_t address, std::string_view name, int module_index, bool force, bool approve,
           int depth);
  std::string NameOf(uint32_t address, int module_index) const;
  // The module's exported function addresses and entry point, sorted; read once a module.
  const std::vector<uint32_t>& FunctionStartsOf(int module_index);
  bool StartsInstruction(const TFunctionInfo& info, uint32_t address) const;

  const AddressSpace& memory_;
  ModuleList& modules_;
  std::vector<TCachedFunction> functions_;
  std::unordered_map<uint32_t, int> by_entry_;
  std::unordered_map<int, std::vector<uint32_t>> function_starts_;
  std::unordered_set<uint32_t> unparsable_;  // entries whose code did not parse
  size_t capacity_ = 0;
};

}  // namespace trace
