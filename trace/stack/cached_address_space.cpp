#include "trace/stack/cached_address_space.h"

#include <cstring>

namespace trace {

namespace {

constexpr size_t kUnreadable = static_cast<size_t>(-1);

}  // namespace

const uint8_t* CachedAddressSpace::Keep(uint32_t page, std::unique_ptr<uint8_t[]> bytes) const {
  if (const auto found = page_index_.find(page); found != page_index_.end()) {
    if (found->second != kUnreadable) return slots_[found->second].get();
    page_index_.erase(found);
  }
  slots_.push_back(std::move(bytes));
  page_index_.emplace(page, slots_.size() - 1);
  return slots_.back().get();
}

const uint8_t* CachedAddressSpace::Page(uint32_t page) const {
  if (const auto found = page_index_.find(page); found != page_index_.end()) {
    return found->second == kUnreadable ? nullptr : slots_[found->second].get();
  }
  if (page_index_.size() + kChunkPages > kMaxPages) {
    page_index_.clear();
    slots_.clear();
  }
  constexpr uint32_t kChunkSize = kPageSize * kChunkPages;
  const uint32_t chunk = page & ~(kChunkSize - 1);
  std::vector<uint8_t> bytes(kChunkSize);
  if (inner_.Read(chunk, bytes.data(), kChunkSize)) {
    const uint8_t* wanted = nullptr;
    for (uint32_t i = 0; i < kChunkPages; ++i) {
      auto copy = std::make_unique<uint8_t[]>(kPageSize);
      std::memcpy(copy.get(), bytes.data() + i * kPageSize, kPageSize);
      const uint8_t* kept = Keep(chunk + i * kPageSize, std::move(copy));
      if (chunk + i * kPageSize == page) wanted = kept;
    }
    return wanted;
  }
  auto single = std::make_unique<uint8_t[]>(kPageSize);
  if (!inner_.Read(page, single.get(), kPageSize)) {
    page_index_.emplace(page, kUnreadable);
    return nullptr;
  }
  return Keep(page, std::move(single));
}

bool CachedAddressSpace::Read(uint32_t address, void* buffer, uint32_t count) const {
  if (count == 0 || address + (count - 1) < address) return inner_.Read(address, buffer, count);
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t at = address;
  uint32_t left = count;
  while (left > 0) {
    const uint32_t page = at & ~(kPageSize - 1);
    const uint8_t* bytes = Page(page);
    if (bytes == nullptr) return inner_.Read(address, buffer, count);
    const uint32_t offset = at - page;
    const uint32_t take = left < kPageSize - offset ? left : kPageSize - offset;
    std::memcpy(out, bytes + offset, take);
    out += take;
    at += take;
    left -= take;
  }
  return true;
}

std::optional<MemoryRegion> CachedAddressSpace::Region(uint32_t address) const {
  if (auto found = regions_.upper_bound(address); found != regions_.begin()) {
    --found;
    if (address - found->first < found->second.size) return found->second;
  }
  std::optional<MemoryRegion> region = inner_.Region(address);
  if (!region || region->size == 0 || address - region->base >= region->size) return region;
  if (regions_.size() >= kMaxAnswers) regions_.clear();
  regions_[region->base] = *region;
  return region;
}

std::optional<ModuleInfo> CachedAddressSpace::ModuleOf(uint32_t address) const {
  if (const auto found = modules_.find(address); found != modules_.end()) return found->second;
  if (modules_.size() >= kMaxAnswers) modules_.clear();
  return modules_.emplace(address, FindModule(address)).first->second;
}

std::string CachedAddressSpace::ExportName(uint32_t address) const {
  if (const auto found = export_names_.find(address); found != export_names_.end()) {
    return found->second;
  }
  if (export_names_.size() >= kMaxAnswers) export_names_.clear();
  return export_names_.emplace(address, FindExportName(address)).first->second;
}

void CachedAddressSpace::Forget() {
  page_index_.clear();
  slots_.clear();
  regions_.clear();
  modules_.clear();
  export_names_.clear();
}

}  // namespace trace
