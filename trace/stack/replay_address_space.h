// An address space put together from a crash's pieces, to replay the trace of a stack away
// from the process: PE files mapped at the bases they had (moved by their relocations when
// that differs from their image base, imports bound to the exports of the other modules, as
// the loader leaves them) and blocks of memory such as a thread's stack taken from a dump.
// The modules' symbol data comes from the files (embedded block first, as symbol_sources.h
// orders the sources) unless a test sets it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "trace/pe/address_space.h"
#include "trace/pe/pe_file_view.h"
#include "trace/stack/module_list.h"
#include "trace/symbols/map_file.h"

namespace trace {

// Largest file that AddModule reads, in bytes.
inline constexpr uint64_t kMaxReplayModuleFile = 512u << 20;

class ReplayAddressSpace : public AddressSpace {
 public:
  ReplayAddressSpace() = default;
  ReplayAddressSpace(const ReplayAddressSpace&) = delete;
  ReplayAddressSpace& operator=(const ReplayAddressSpace&) = delete;

  // Maps the PE file at path at base (its image base when none). False with a reason in
  // error when the file cannot be read, is no PE32 image, cannot be moved to base (no
  // relocations) or would overlap a module or block already there.
  bool AddModule(const std::string& path, std::optional<uint32_t> base, std::string& error);
  // The same for the bytes of a file read elsewhere; path names it.
  bool AddModuleBytes(std::vector<uint8_t> file, const std::string& path,
                      std::optional<uint32_t> base, std::string& error);
  // Adds committed memory holding bytes at base, its own allocation (a stack region). False
  // with a reason in error when it is empty, leaves 32 bits or overlaps what is there.
  bool AddMemory(uint32_t base, std::vector<uint8_t> bytes, std::string& error);
  // Removes the memory added at base; nothing when none was.
  void RemoveMemory(uint32_t base) { blocks_.erase(base); }

  // Gives the module at base this symbol data instead of its files' (null: none).
  void SetSymbolData(uint32_t base, std::shared_ptr<const TMapFile> map);
  // The symbol data of the module at base; null when it has none or no module lies there.
  std::shared_ptr<const TMapFile> SymbolData(uint32_t base) const;
  // SymbolData as the source the module list asks; this space must outlive it.
  SymbolDataSource Symbols() const;

  // The mapped module whose image holds address; null when none does.
  const PeFileView* ViewAt(uint32_t address) const;
  // The bases of the modules in the order they were added.
  std::vector<uint32_t> ModuleBases() const;

  bool Read(uint32_t address, void* buffer, uint32_t count) const override;
  std::optional<MemoryRegion> Region(uint32_t address) const override;
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override;
  std::string ExportName(uint32_t address) const override;

 private:
  struct Module {
    std::string path;
    std::vector<uint8_t> file;  // moved to its base, imports not bound
    std::optional<PeFileView> view;
    mutable bool symbols_loaded = false;
    mutable std::shared_ptr<const TMapFile> symbols;
  };
  struct Block {
    uint32_t base = 0;
    std::vector<uint8_t> bytes;
  };

  // The name of whatever occupies part of [begin, end); empty when nothing does.
  std::string Occupant(uint64_t begin, uint64_t end) const;
  // Maps module's file again with its imports bound to the modules there now.
  void Bind(Module& module);
  // The address of the export of the module named dll (by file name, case ignored), forwarders
  // followed a few steps; none when no such module or export is there.
  std::optional<uint32_t> ResolveExport(std::string_view dll, std::string_view name,
                                        uint32_t ordinal, int depth) const;
  // Reads the bytes at address that lie in the one module or block holding it; the number
  // read, 0 when nothing holds address.
  uint32_t ReadPiece(uint32_t address, uint8_t* buffer, uint32_t count) const;

  std::map<uint32_t, Module> modules_;  // by base
  std::vector<uint32_t> order_;         // bases in the order added
  std::map<uint32_t, Block> blocks_;    // by base
};

}  // namespace trace
