// Finding and reading a module's symbol data, in order of preference: the block embedded as
// its "KIV"/"EXCEPT" resource, TD32 data in the module's memory (or in a ".tds" file or the
// module file), a ".map" text file and a ".kiv" block file beside the module. The module is
// read through an address space and the files through SymbolFiles, so the same code serves
// the running process (Windows) and PE files from disk (tools and tests).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "trace/pe/address_space.h"
#include "trace/symbols/map_file.h"

namespace trace {

// Largest TD32 data that is read from a module's memory, in bytes.
inline constexpr uint32_t kMaxTd32InMemory = 64u << 20;

// The bytes of a whole file, held for as long as the object lives (a mapped view on Windows).
class FileBytes {
 public:
  virtual ~FileBytes() = default;
  // The file's bytes.
  virtual std::string_view bytes() const = 0;
};

// Access to the module's resource and to files by name.
class SymbolFiles {
 public:
  virtual ~SymbolFiles() = default;
  // The data of the module's "KIV"/"EXCEPT" resource; none when it has none.
  virtual std::optional<std::string> ModuleResource(uint32_t module) const = 0;
  // True when the file exists.
  virtual bool Exists(const std::string& name) const = 0;
  // The whole file; none when it is missing or cannot be read completely.
  virtual std::optional<std::string> Load(const std::string& name) const = 0;
  // A read-only view of the whole file; null when it cannot be opened.
  virtual std::unique_ptr<FileBytes> Map(const std::string& name) const = 0;
};

// name with its extension (from the last "." after the last "\" or "/") replaced by
// extension, or extension appended when it has none.
std::string ReplaceExtension(std::string_view name, std::string_view extension);

// Sets the code and data ranges of map from the PE headers of the module in space; false
// when the headers are not readable.
bool SetModuleRanges(const AddressSpace& space, uint32_t module, TMapFile& map);

// The symbol data of the module at base module (0 or space null: none loaded) whose file is
// file_name, from the first source that gives it; invalid when none does.
TMapFile LoadMapFile(const AddressSpace* space, uint32_t module, const std::string& file_name,
                     const SymbolFiles& files);

}  // namespace trace
