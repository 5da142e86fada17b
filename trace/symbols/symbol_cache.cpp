#include "trace/symbols/symbol_cache.h"

#include "trace/text/ansi_text.h"

namespace trace {

std::shared_ptr<const TMapFile> SymbolCache::Get(const std::string& module_file_name,
                                                 const Build& build) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!TextEquals(entries_[i].map->module_file_name(), module_file_name)) continue;
    if (date_of_(entries_[i].map->symbol_file_name()) == entries_[i].date) return entries_[i].map;
    entries_[i] = std::move(entries_.back());
    entries_.pop_back();
    break;
  }
  auto map = std::make_shared<const TMapFile>(build());
  if (map->valid()) entries_.push_back({date_of_(map->symbol_file_name()), map});
  return map;
}

}  // namespace trace
