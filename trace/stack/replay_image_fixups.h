// What a loader does to a PE file's bytes before the image runs, done on the file itself so
// that a replayed address space holds the image as it was in the process: moved to another
// base by its base relocations, and its import address table filled with the addresses of
// the exports of the other modules.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

// Largest relocation directory that is read, in bytes.
inline constexpr uint32_t kMaxRelocationBytes = 16u << 20;
// Most import descriptors and most slots of one descriptor that are read.
inline constexpr uint32_t kMaxImportDescriptors = 4096;
inline constexpr uint32_t kMaxImportSlots = 65536;

// Moves the PE32 file in file to new_base: every HIGHLOW relocation gets the difference
// added and ImageBase is rewritten. False with a reason in error when the file has no
// relocations (or has them stripped), when new_base is not a multiple of 64 KB, when the
// image would not fit below 4 GB, or when a relocation block is malformed or of a kind other
// than HIGHLOW; file is then unchanged. Moving a file to its own base changes nothing.
bool RebasePeFile(std::vector<uint8_t>& file, uint32_t new_base, std::string& error);

// One import of a module: the file name of the DLL it names, and the export by name, or by
// ordinal when name is empty.
struct ImportReference {
  std::string_view dll;
  std::string_view name;
  uint32_t ordinal = 0;
};

// The address an import resolves to; none when no loaded module provides it.
using ImportResolver = std::function<std::optional<uint32_t>(const ImportReference&)>;

// The file names (as written, e.g. "msvcrt.dll") of the DLLs that file imports from, in
// descriptor order; empty for a file that is not PE32 or imports nothing.
std::vector<std::string> ImportedDlls(const std::vector<uint8_t>& file);

// Writes into every import address table slot of file the address resolve gives for it;
// slots it gives none for keep their bytes. Returns the number of slots written.
int BindImports(std::vector<uint8_t>& file, const ImportResolver& resolve);

}  // namespace trace
