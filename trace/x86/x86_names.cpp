#include "trace/x86/x86_names.h"

#include <utility>

namespace trace {
namespace {

NameHook& Hook() {
  static NameHook hook;
  return hook;
}

}  // namespace

void SetNameHook(NameHook hook) {
  Hook() = std::move(hook);
}

std::string NameOf(const AddressSpace& memory, uint32_t address) {
  if (address == 0) return {};
  std::string name = memory.ExportName(address);
  if (name.empty() && Hook()) name = Hook()(address);
  return name;
}

}  // namespace trace
