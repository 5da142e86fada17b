#include "trace/symbols/symbol_sources.h"

#include <algorithm>

#include "trace/pe/pe_image.h"
#include "trace/symbols/map_text_reader.h"
#include "trace/symbols/symbol_block_reader.h"
#include "trace/symbols/td32_reader.h"
#include "trace/text/ansi_text.h"

namespace trace {
namespace {

// Index of the debug data directory.
constexpr int kDebugDirectory = 6;
// Code flag of a section's characteristics.
constexpr uint32_t kSectionCode = 0x20;

// TD32 data at the address the module's debug directory gives (AddressOfRawData at 20,
// SizeOfData at 16); false when it cannot be read or is no TD32 data.
bool ReadTd32InMemory(const AddressSpace& space, const PeHeaders& headers, TMapFile& map) {
  const uint32_t directory = headers.module_base + headers.directories[kDebugDirectory].address;
  const auto size = space.ReadDword(directory + 16);
  const auto address = space.ReadDword(directory + 20);
  if (!size || !address || *address == 0) return false;
  const uint32_t count = std::min({*size, kMaxTd32InMemory, headers.image_size});
  std::string data(count, '\0');
  if (count == 0 || !space.Read(headers.module_base + *address, data.data(), count)) return false;
  return ReadTd32(data, map);
}

// TD32 data from a file: the symbol file itself when it is a ".tds" file, else the ".tds"
// file beside it, else the symbol file (a PE image that carries its TD32 data).
bool ReadTd32File(const SymbolFiles& files, TMapFile& map) {
  std::string name = map.symbol_file_name();
  const size_t slash = name.find_last_of("\\/");
  const size_t dot = name.rfind('.');
  const bool is_tds = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                      TextEquals(std::string_view(name).substr(dot), ".tds");
  if (!is_tds) {
    const std::string tds = ReplaceExtension(name, ".tds");
    if (files.Exists(tds)) name = tds;
  }
  const std::unique_ptr<FileBytes> file = files.Map(name);
  if (!file) return false;
  const std::optional<std::string_view> data = Td32InFile(file->bytes());
  return data && ReadTd32(*data, map);
}

// The ".map" file, then the ".kiv" file beside the module.
bool ReadFilesBeside(const SymbolFiles& files, TMapFile& map) {
  const std::string map_name = ReplaceExtension(map.module_file_name(), ".map");
  if (const std::optional<std::string> text = files.Load(map_name)) {
    ReadMapText(*text, map);
    map.set_symbol_file_name(map_name);
    return true;
  }
  const std::string kiv_name = ReplaceExtension(map.module_file_name(), ".kiv");
  if (const std::optional<std::string> block = files.Load(kiv_name)) {
    if (ReadSymbolBlock(*block, map)) {
      map.set_symbol_file_name(kiv_name);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string ReplaceExtension(std::string_view name, std::string_view extension) {
  const size_t slash = name.find_last_of("\\/");
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    dot = name.size();
  }
  return std::string(name.substr(0, dot)) + std::string(extension);
}

bool SetModuleRanges(const AddressSpace& space, uint32_t module, TMapFile& map) {
  const std::optional<PeHeaders> headers = ReadPeHeaders(space, module);
  if (!headers) return false;
  uint32_t code_start = module + headers->code_base;
  uint32_t code_end = code_start + headers->code_size;
  if (!headers->sections.empty() && (headers->sections[0].characteristics & kSectionCode) != 0) {
    code_start = module + headers->sections[0].virtual_address;
    code_end = code_start + headers->sections[0].virtual_size;
  }
  const uint32_t data_start = module + headers->data_base;
  const uint32_t data_end =
      data_start + headers->initialized_data_size + headers->uninitialized_data_size;
  map.SetRanges(code_start, code_end, data_start, data_end);
  return true;
}

TMapFile LoadMapFile(const AddressSpace* space, uint32_t module, const std::string& file_name,
                     const SymbolFiles& files) {
  TMapFile map;
  map.SetModule(module, file_name);
  std::optional<PeHeaders> headers;
  if (space != nullptr && module != 0) headers = ReadPeHeaders(*space, module);

  bool found = false;
  if (headers) {
    SetModuleRanges(*space, module, map);
    if (const std::optional<std::string> block = files.ModuleResource(module)) {
      found = ReadSymbolBlock(*block, map);
    }
    if (!found) {
      const bool has_debug = headers->directories.size() > kDebugDirectory &&
                             headers->directories[kDebugDirectory].address != 0;
      found = has_debug ? ReadTd32InMemory(*space, *headers, map) : ReadTd32File(files, map);
    }
  } else {
    found = ReadTd32File(files, map);
  }
  if (!found) found = ReadFilesBeside(files, map);
  map.set_valid(found);
  return map;
}

}  // namespace trace
