// The process-wide cache of loaded symbol data: one TMapFile per module, kept with the DOS
// date and time of the file its symbols were read from. An entry is found by its module's
// file name (ignoring case) and rebuilt when its symbol file's date has changed since.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "trace/symbols/map_file.h"

namespace trace {

class SymbolCache {
 public:
  // The DOS date (high word) and time (low word) of a file; 0 when it is missing.
  using DateOf = std::function<uint32_t(const std::string& file_name)>;
  // Builds the symbol data of a module.
  using Build = std::function<TMapFile()>;

  explicit SymbolCache(DateOf date_of) : date_of_(std::move(date_of)) {}
  SymbolCache(const SymbolCache&) = delete;
  SymbolCache& operator=(const SymbolCache&) = delete;

  // The module's cached data while its symbol file keeps its date, else build's result (kept
  // when valid). A stale entry is dropped (the last entry takes its place).
  std::shared_ptr<const TMapFile> Get(const std::string& module_file_name, const Build& build);
  // Number of entries.
  size_t size() const { return entries_.size(); }
  // Drops every entry.
  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    uint32_t date = 0;
    std::shared_ptr<const TMapFile> map;
  };

  DateOf date_of_;
  std::vector<Entry> entries_;
};

}  // namespace trace
