#include "trace/stack/function_cache.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "trace/pe/pe_image.h"
#include "trace/x86/x86_decoder.h"

namespace trace {

FunctionCache::FunctionCache(const AddressSpace& memory, ModuleList& modules)
    : memory_(memory), modules_(modules) {}

int FunctionCache::IndexOfEntry(uint32_t address) const {
  const auto it = by_entry_.find(address);
  return it == by_entry_.end() ? -1 : it->second;
}

int FunctionCache::FindFunction(uint32_t address, std::string_view name, int module_index,
                                bool force, bool approve) {
  return Find(address, name, module_index, force, approve, 0);
}

std::string FunctionCache::NameOf(uint32_t address, int module_index) const {
  if (module_index >= 0 && static_cast<size_t>(module_index) < modules_.modules().size()) {
    const TModuleRecord& module = modules_.modules()[static_cast<size_t>(module_index)];
    if (module.map) {
      const TMfPublic symbol = module.map->PublicAt(address);
      if (symbol.valid && !symbol.name.empty()) return symbol.name;
    }
  }
  return memory_.ExportName(address);
}

int FunctionCache::Find(uint32_t address, std::string_view name, int module_index, bool force,
                        bool approve, int depth) {
  if (const int known = IndexOfEntry(address); known >= 0) {
    if (approve) Approve(known);
    return known;
  }
  if (address == 0 && !force) return -1;

  // Code that did not parse once is not parsed again: like the functions that did, it is
  // taken to stay as it is for the life of the process.
  const bool known_unparsable = unparsable_.contains(address);
  if (known_unparsable && !force) return -1;

  if (module_index < 0) module_index = modules_.ModuleOfAddress(address);
  TFunctionInfo info;
  if (!known_unparsable) ParseFunction(memory_, address, info);
  if (!info.valid) {
    unparsable_.insert(address);
    if (!force) return -1;
    info = TFunctionInfo{};
    info.valid = true;
    info.entry_point = address;
    info.code_begin = address;
  }

  TCachedFunction function;
  function.module_index = module_index;
  function.name = name.empty() ? NameOf(address, module_index) : std::string(name);
  function.info = std::move(info);
  function.approved = approve;
  if (functions_.size() == capacity_) {
    capacity_ = capacity_ == 0 ? 16 : capacity_ * 2;
    functions_.reserve(capacity_);
  }
  // Keyed by the address asked for: that is what later look-ups ask for again.
  const int index = static_cast<int>(functions_.size());
  functions_.push_back(std::move(function));
  by_entry_.emplace(address, index);

  if (depth < kMaxJumpDepth) {
    // Copied: looking the targets up appends to functions_.
    std::vector<uint32_t> jumps;
    for (const TKnownCall& call : functions_[static_cast<size_t>(index)].info.known_calls) {
      if (!call.is_call && call.target != 0) jumps.push_back(call.target);
    }
    for (const uint32_t target : jumps)
      Find(target, {}, -1, false, approve, depth + 1);
  }
  return index;
}

void FunctionCache::Approve(int index) {
  if (index < 0 || static_cast<size_t>(index) >= functions_.size()) return;
  // Each function is approved once, so a cycle of jumps ends.
  std::unordered_set<int> seen{index};
  std::vector<int> pending{index};
  while (!pending.empty()) {
    const int current = pending.back();
    pending.pop_back();
    TCachedFunction& function = functions_[static_cast<size_t>(current)];
    function.approved = true;
    for (const TKnownCall& call : function.info.known_calls) {
      if (call.is_call) continue;
      const int target = IndexOfEntry(call.target);
      if (target >= 0 && seen.insert(target).second) pending.push_back(target);
    }
  }
}

bool FunctionCache::ApproveEntry(uint32_t address) {
  const int index = IndexOfEntry(address);
  if (index < 0) return false;
  Approve(index);
  return true;
}

void FunctionCache::Reject(int index) {
  if (index >= 0 && static_cast<size_t>(index) < functions_.size())
    functions_[static_cast<size_t>(index)].rejected = true;
}

void FunctionCache::AddKnownCall(int index, const TKnownCall& call) {
  if (index < 0 || static_cast<size_t>(index) >= functions_.size()) return;
  std::vector<TKnownCall>& calls = functions_[static_cast<size_t>(index)].info.known_calls;
  for (TKnownCall& known : calls) {
    if (known.next == call.next) {
      known = call;
      return;
    }
  }
  calls.push_back(call);
}

bool FunctionCache::InCodeArea(int index, uint32_t address) const {
  if (index < 0 || static_cast<size_t>(index) >= functions_.size()) return false;
  const TCachedFunction& function = functions_[static_cast<size_t>(index)];
  if (function.rejected) return false;
  for (const TCodeArea& area : function.info.code_areas) {
    if (area.begin < address && uint64_t{address} <= uint64_t{area.end} + 1) return true;
  }
  return false;
}

bool FunctionCache::StartsInstruction(const TFunctionInfo& info, uint32_t address) const {
  for (const TCodeArea& area : info.code_areas) {
    if (area.is_case_table) continue;
    if (!(area.begin < address && uint64_t{address} <= uint64_t{area.end} + 1)) continue;
    // Each step moves at least one byte forward and stays below address.
    uint32_t at = area.begin;
    while (at < address) {
      X86Instruction instruction;
      if (!DecodeInstruction(memory_, at, instruction) || instruction.next <= at) break;
      at = instruction.next;
    }
    if (at == address) return true;
  }
  return false;
}

bool FunctionCache::IsReturnPoint(int index, uint32_t exception_address, uint32_t& address,
                                  TReturnCall& call, bool strict) {
  call = TReturnCall{};
  if (index < 0 || static_cast<size_t>(index) >= functions_.size()) return false;
  if (!strict) {
    const TFunctionInfo& info = functions_[static_cast<size_t>(index)].info;
    for (const TUnknownCall& unknown : info.unknown_calls) {
      if (unknown.next == address) {
        call.address = unknown.address;
        return true;
      }
    }
    for (const TKnownCall& known : info.known_calls) {
      if (known.is_call && known.next == address) {
        call = {known.address, known.target, true};
        return true;
      }
    }
    return false;
  }
  if (functions_[static_cast<size_t>(index)].info.code_length == 0)
    return address == functions_[static_cast<size_t>(index)].info.entry_point;
  if (exception_address != 0) {
    // Copied: naming the targets may append to functions_.
    const std::vector<TKnownCall> calls = functions_[static_cast<size_t>(index)].info.known_calls;
    for (const TKnownCall& known : calls) {
      if (!known.is_call || known.next != exception_address) continue;
      const int target = FindFunction(known.target, {}, -1, false, false);
      if (target < 0) continue;
      const std::string& name = functions_[static_cast<size_t>(target)].name;
      if (name.find("@RaiseExcept") != std::string::npos ||
          name.find("Error") != std::string::npos) {
        address = exception_address;
        call = {known.address, known.target, true};
        return true;
      }
    }
  }
  return StartsInstruction(functions_[static_cast<size_t>(index)].info, address);
}

int FunctionCache::NearestFunctionStart(int module_index, uint32_t address) {
  if (module_index < 0 || static_cast<size_t>(module_index) >= modules_.modules().size()) return -1;
  const std::vector<uint32_t>& starts = FunctionStartsOf(module_index);
  // The highest start below address.
  const auto above = std::lower_bound(starts.begin(), starts.end(), address);
  if (above == starts.begin()) return -1;
  return FindFunction(*(above - 1), {}, module_index, false, true);
}

const std::vector<uint32_t>& FunctionCache::FunctionStartsOf(int module_index) {
  const auto known = function_starts_.find(module_index);
  if (known != function_starts_.end()) return known->second;
  std::vector<uint32_t>& starts = function_starts_[module_index];
  const uint32_t base = modules_.modules()[static_cast<size_t>(module_index)].handle;
  const std::optional<PeImage> image = PeImage::Open(memory_, base);
  if (!image) return starts;
  auto add = [&](uint32_t rva) {
    if (rva != 0) starts.push_back(base + rva);
  };
  add(image->headers().entry_point);
  for (const ExportEntry& entry : image->AllExports()) {
    if (!entry.is_forwarder) add(entry.rva);
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  return starts;
}

}  // namespace trace
