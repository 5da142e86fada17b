#include "trace/stack/module_list.h"

#include <utility>

#include "trace/pe/pe_image.h"

namespace trace {

namespace {

// Section flag of a section that holds code (IMAGE_SCN_CNT_CODE).
constexpr uint32_t kSectionCode = 0x20;

}  // namespace

bool InModule(const TModuleRecord& module, uint32_t address) {
  return (module.code_start < address && address <= module.code_end) ||
         (module.data_start < address && address <= module.data_end);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

ModuleList::ModuleList(const AddressSpace& memory, SymbolDataSource symbols)
    : memory_(memory), symbols_(std::move(symbols)) {}

int ModuleList::IndexOfHandle(uint32_t handle) const {
  for (size_t i = 0; i < modules_.size(); ++i) {
    if (modules_[i].handle == handle) return static_cast<int>(i);
  }
  return -1;
}

int ModuleList::Register(uint32_t allocation_base) {
  if (const int known = IndexOfHandle(allocation_base); known >= 0) return known;
  const std::optional<ModuleInfo> info = memory_.ModuleOf(allocation_base);
  if (!info || info->path.empty()) return -1;
  const std::optional<PeHeaders> headers = ReadPeHeaders(memory_, allocation_base);
  if (!headers) return -1;

  TModuleRecord record;
  record.handle = allocation_base;
  record.file_name = FileNameOf(info->path);
  if (!headers->sections.empty() && (headers->sections[0].characteristics & kSectionCode)) {
    record.code_start = allocation_base + headers->sections[0].virtual_address;
    record.code_end = record.code_start + headers->sections[0].virtual_size;
  } else {
    record.code_start = allocation_base + headers->code_base;
    record.code_end = record.code_start + headers->code_size;
  }
  record.data_start = allocation_base + headers->data_base;
  record.data_end =
      record.data_start + headers->initialized_data_size + headers->uninitialized_data_size;
  if (symbols_) record.map = symbols_(allocation_base, info->path);

  if (modules_.size() == capacity_) {
    capacity_ = capacity_ == 0 ? 16 : capacity_ * 2;
    modules_.reserve(capacity_);
  }
  modules_.push_back(std::move(record));
  const int index = static_cast<int>(modules_.size() - 1);
  if (hook_) hook_(index);
  return index;
}

int ModuleList::ModuleOfAddress(uint32_t address) {
  for (size_t i = 0; i < modules_.size(); ++i) {
    const TModuleRecord& m = modules_[i];
    if ((m.code_start < address && address < m.code_end) ||
        (m.data_start < address && address < m.data_end)) {
      return static_cast<int>(i);
    }
  }
  const std::optional<MemoryRegion> region = memory_.Region(address);
  if (!region || !region->committed || region->allocation_base == 0) return -1;
  return Register(region->allocation_base);
}

}  // namespace trace
