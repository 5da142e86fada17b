// A view of another address space for the length of a trace: every page is read from it once,
// the module of an allocation and the export name of an address are found once. The tracer
// reads the same code, headers and export tables again and again, and each read of the
// running process is a call into the system.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "trace/pe/address_space.h"

namespace trace {

// Reads through inner in whole pages of 4 KB, kept until Forget(); a page missing is read with
// the rest of its aligned chunk of 16 KB when the whole chunk can be read (a read of the
// process costs about as much for 16 KB as for 8 bytes), else alone. A page that cannot be
// read whole is not kept: reads that touch it go to inner as they are, so partly readable
// pages of a synthetic space read as before. The module and the export name of an address are found
// once (FindModule, FindExportName: inner's answers unless a view of a known space finds them
// faster). Not locked: one trace at a time.
class CachedAddressSpace : public AddressSpace {
 public:
  static constexpr uint32_t kPageSize = 4096;
  static constexpr uint32_t kChunkPages = 4;
  // Pages kept at most; when a read needs one more, every page is dropped first.
  static constexpr size_t kMaxPages = 4096;
  // Answers kept at most, of each kind; past that they are dropped likewise.
  static constexpr size_t kMaxAnswers = 65536;

  explicit CachedAddressSpace(const AddressSpace& inner) : inner_(inner) {}

  bool Read(uint32_t address, void* buffer, uint32_t count) const override;
  // Found once per region: a region known stands for every address inside it until
  // Forget(), even if the process has changed it since (reads are asked of inner, and fail
  // there, all the same).
  std::optional<MemoryRegion> Region(uint32_t address) const override;
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override;
  std::string ExportName(uint32_t address) const override;

  // Drops every page and answer: the next trace reads the process as it is then.
  void Forget();

  // The pages kept now.
  size_t pages() const { return page_index_.size(); }

 protected:
  const AddressSpace& inner() const { return inner_; }
  // The module of address when not known yet.
  virtual std::optional<ModuleInfo> FindModule(uint32_t address) const {
    return inner_.ModuleOf(address);
  }
  // The export name at address when not known yet.
  virtual std::string FindExportName(uint32_t address) const { return inner_.ExportName(address); }

 private:
  // The kept page that starts at page, read now when it is not kept; null when it cannot
  // be read whole.
  const uint8_t* Page(uint32_t page) const;
  // Keeps bytes as the page at page unless it is kept; the kept page.
  const uint8_t* Keep(uint32_t page, std::unique_ptr<uint8_t[]> bytes) const;

  const AddressSpace& inner_;
  mutable std::unordered_map<uint32_t, size_t> page_index_;  // page start -> slot, or npos
  mutable std::vector<std::unique_ptr<uint8_t[]>> slots_;
  mutable std::map<uint32_t, MemoryRegion> regions_;  // by base
  mutable std::unordered_map<uint32_t, std::optional<ModuleInfo>> modules_;
  mutable std::unordered_map<uint32_t, std::string> export_names_;
};

}  // namespace trace
