// The modules the stack tracer has met: one record per code module with its code and data
// ranges and its symbol data, found by handle or by an address inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "trace/pe/address_space.h"
#include "trace/symbols/map_file.h"

namespace trace {

// Gives the symbol data of the module at base whose file (with folder) is path; null when it
// has none. Tests pass synthetic data; the Windows shell loads the module's own.
using SymbolDataSource =
    std::function<std::shared_ptr<const TMapFile>(uint32_t base, const std::string& path)>;

// One code module.
struct TModuleRecord {
  uint32_t handle = 0;                  // the module's base address
  std::string file_name;                // file name without folder
  uint32_t code_start = 0;              // start of the code range
  uint32_t code_end = 0;                // code_start plus the code's size
  uint32_t data_start = 0;              // start of the data range
  uint32_t data_end = 0;                // data_start plus the data's size
  std::shared_ptr<const TMapFile> map;  // the module's symbol data, or null
};

// True when start < address <= end for the code or the data range. The end itself belongs
// to the module and the start does not: the rule of the module records, kept as it is.
bool InModule(const TModuleRecord& module, uint32_t address);

// The list of modules, grown by doubling from 16 records.
class ModuleList {
 public:
  // Reads module headers through memory and asks symbols for each new module's symbol data.
  ModuleList(const AddressSpace& memory, SymbolDataSource symbols);

  // The index of the module at allocation_base, registering it first when it is new; -1 when
  // the address space knows no module file there or its PE headers are unreadable.
  int Register(uint32_t allocation_base);
  // The index of the registered module whose handle is handle; -1 when none is.
  int IndexOfHandle(uint32_t handle) const;
  // The module whose code or data range holds address strictly inside (start < address <
  // end); else the module at the allocation base of the committed region there, registered
  // when new; -1 when neither gives one.
  int ModuleOfAddress(uint32_t address);

  // Calls hook with the index of every module registered from now on, once its record is in
  // the list (the entry-point walk runs there).
  void set_registration_hook(std::function<void(int index)> hook) { hook_ = std::move(hook); }

  // The records in the order they were registered.
  const std::vector<TModuleRecord>& modules() const { return modules_; }
  // Room for records before the list grows again.
  size_t capacity() const { return capacity_; }

 private:
  const AddressSpace& memory_;
  SymbolDataSource symbols_;
  std::function<void(int index)> hook_;
  std::vector<TModuleRecord> modules_;
  size_t capacity_ = 0;
};

// The file name of path without its folder (after the last "\" or "/").
std::string FileNameOf(const std::string& path);

}  // namespace trace
