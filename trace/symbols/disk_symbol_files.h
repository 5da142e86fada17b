// SymbolFiles over files read with the standard library and a module given as an address
// space (a PE file mapped at its image base): for tools and tests on any system.
#pragma once

#include "trace/pe/address_space.h"
#include "trace/symbols/symbol_sources.h"

namespace trace {

class DiskSymbolFiles : public SymbolFiles {
 public:
  // Resources are looked up in the image in space (none when space is null).
  explicit DiskSymbolFiles(const AddressSpace* space) : space_(space) {}

  std::optional<std::string> ModuleResource(uint32_t module) const override;
  bool Exists(const std::string& name) const override;
  std::optional<std::string> Load(const std::string& name) const override;
  std::unique_ptr<FileBytes> Map(const std::string& name) const override;

 private:
  const AddressSpace* space_;
};

}  // namespace trace
