#include "trace/stack/replay_address_space.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "trace/pe/pe_image.h"
#include "trace/stack/replay_image_fixups.h"
#include "trace/symbols/disk_symbol_files.h"
#include "trace/symbols/symbol_sources.h"
#include "trace/system/file_contents.h"

namespace trace {
namespace {

constexpr int kMaxForwarderSteps = 8;

std::string Hex(uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// "kernel32" and "kernel32.dll" name the same module.
bool SameModuleName(std::string_view file_name, std::string_view dll) {
  if (SameName(file_name, dll)) return true;
  const size_t dot = file_name.rfind('.');
  return dot != std::string_view::npos && dll.find('.') == std::string_view::npos &&
         SameName(file_name.substr(0, dot), dll);
}

}  // namespace

bool ReplayAddressSpace::AddModule(const std::string& path, std::optional<uint32_t> base,
                                   std::string& error) {
  FileReadError read_error = FileReadError::kNone;
  const std::optional<std::string> bytes =
      ReadFileContents(path, kMaxReplayModuleFile, &read_error);
  if (!bytes) {
    error = read_error == FileReadError::kOpen       ? "cannot open " + path
            : read_error == FileReadError::kTooLarge ? path + ": file too large or unreadable"
                                                     : "cannot read " + path;
    return false;
  }
  const std::vector<uint8_t> file(bytes->begin(), bytes->end());
  return AddModuleBytes(std::move(file), path, base, error);
}

bool ReplayAddressSpace::AddModuleBytes(std::vector<uint8_t> file, const std::string& path,
                                        std::optional<uint32_t> base, std::string& error) {
  std::string reason;
  std::optional<PeFileView> view = PeFileView::FromBytes(file, path, reason);
  if (!view) {
    error = path + ": " + reason;
    return false;
  }
  if (base && *base != view->image_base()) {
    if (!RebasePeFile(file, *base, reason)) {
      error = path + ": " + reason;
      return false;
    }
    view = PeFileView::FromBytes(file, path, reason);
    if (!view) {
      error = path + ": " + reason;
      return false;
    }
  }
  const uint32_t at = view->image_base();
  const uint64_t end = uint64_t{at} + view->headers().image_size;
  if (const std::string other = Occupant(at, end); !other.empty()) {
    error =
        path + " at " + Hex(at) + ".." + Hex(static_cast<uint32_t>(end - 1)) + " overlaps " + other;
    return false;
  }
  Module& module = modules_[at];
  module.path = path;
  module.file = std::move(file);
  module.view = std::move(view);
  order_.push_back(at);

  // The new module's imports, and those of every module that imports from it.
  const std::string name = FileNameOf(path);
  for (auto& [other_base, other] : modules_) {
    if (other_base == at) {
      Bind(other);
      continue;
    }
    for (const std::string& dll : ImportedDlls(other.file)) {
      if (SameModuleName(name, dll)) {
        Bind(other);
        break;
      }
    }
  }
  return true;
}

bool ReplayAddressSpace::AddMemory(uint32_t base, std::vector<uint8_t> bytes, std::string& error) {
  const uint64_t end = uint64_t{base} + bytes.size();
  if (bytes.empty() || end > 0x100000000ull) {
    error = "memory at " + Hex(base) + " is empty or leaves 32 bits";
    return false;
  }
  if (const std::string other = Occupant(base, end); !other.empty()) {
    error = "memory at " + Hex(base) + ".." + Hex(static_cast<uint32_t>(end - 1)) + " overlaps " +
            other;
    return false;
  }
  blocks_[base] = Block{base, std::move(bytes)};
  return true;
}

std::string ReplayAddressSpace::Occupant(uint64_t begin, uint64_t end) const {
  for (const auto& [base, module] : modules_) {
    const uint64_t module_end = uint64_t{base} + module.view->headers().image_size;
    if (begin < module_end && base < end) {
      return module.path + " at " + Hex(base) + ".." + Hex(static_cast<uint32_t>(module_end - 1));
    }
  }
  for (const auto& [base, block] : blocks_) {
    const uint64_t block_end = uint64_t{base} + block.bytes.size();
    if (begin < block_end && base < end) {
      return "memory at " + Hex(base) + ".." + Hex(static_cast<uint32_t>(block_end - 1));
    }
  }
  return {};
}

void ReplayAddressSpace::Bind(Module& module) {
  std::vector<uint8_t> bound = module.file;
  const int count = BindImports(bound, [this](const ImportReference& import) {
    return ResolveExport(import.dll, import.name, import.ordinal, 0);
  });
  if (count == 0) return;
  std::string reason;
  if (std::optional<PeFileView> view = PeFileView::FromBytes(bound, module.path, reason)) {
    module.view = std::move(view);
  }
}

std::optional<uint32_t> ReplayAddressSpace::ResolveExport(std::string_view dll,
                                                          std::string_view name, uint32_t ordinal,
                                                          int depth) const {
  if (depth > kMaxForwarderSteps) return std::nullopt;
  for (const auto& [base, module] : modules_) {
    if (!SameModuleName(FileNameOf(module.path), dll)) continue;
    const std::optional<PeImage> image = PeImage::Open(*module.view, base);
    if (!image) return std::nullopt;
    const std::optional<ExportEntry> entry =
        name.empty() ? image->ExportByOrdinal(ordinal) : image->ExportByName(name);
    if (!entry) return std::nullopt;
    if (!entry->is_forwarder) return base + entry->rva;
    // "NTDLL.RtlAllocateHeap" or "NTDLL.#12".
    const size_t dot = entry->forwarder.find('.');
    if (dot == std::string::npos) return std::nullopt;
    const std::string target_dll = entry->forwarder.substr(0, dot);
    const std::string target = entry->forwarder.substr(dot + 1);
    if (!target.empty() && target[0] == '#') {
      char* end = nullptr;
      const unsigned long number = std::strtoul(target.c_str() + 1, &end, 10);
      if (*end != '\0') return std::nullopt;
      return ResolveExport(target_dll, {}, static_cast<uint32_t>(number), depth + 1);
    }
    return ResolveExport(target_dll, target, 0, depth + 1);
  }
  return std::nullopt;
}

void ReplayAddressSpace::SetSymbolData(uint32_t base, std::shared_ptr<const TMapFile> map) {
  auto it = modules_.find(base);
  if (it == modules_.end()) return;
  it->second.symbols = std::move(map);
  it->second.symbols_loaded = true;
}

std::shared_ptr<const TMapFile> ReplayAddressSpace::SymbolData(uint32_t base) const {
  auto it = modules_.find(base);
  if (it == modules_.end()) return nullptr;
  const Module& module = it->second;
  if (!module.symbols_loaded) {
    module.symbols_loaded = true;
    const DiskSymbolFiles files(&*module.view);
    TMapFile map = LoadMapFile(&*module.view, base, module.path, files);
    if (map.valid()) module.symbols = std::make_shared<const TMapFile>(std::move(map));
  }
  return module.symbols;
}

SymbolDataSource ReplayAddressSpace::Symbols() const {
  return [this](uint32_t base, const std::string&) { return SymbolData(base); };
}

const PeFileView* ReplayAddressSpace::ViewAt(uint32_t address) const {
  auto it = modules_.upper_bound(address);
  if (it == modules_.begin()) return nullptr;
  --it;
  const PeFileView& view = *it->second.view;
  if (uint64_t{address} - it->first >= view.headers().image_size) return nullptr;
  return &view;
}

std::vector<uint32_t> ReplayAddressSpace::ModuleBases() const {
  return order_;
}

uint32_t ReplayAddressSpace::ReadPiece(uint32_t address, uint8_t* buffer, uint32_t count) const {
  if (const PeFileView* view = ViewAt(address)) {
    const uint64_t end = uint64_t{view->image_base()} + view->headers().image_size;
    const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(count, end - address));
    return view->Read(address, buffer, piece) ? piece : 0;
  }
  auto it = blocks_.upper_bound(address);
  if (it == blocks_.begin()) return 0;
  --it;
  const Block& block = it->second;
  const uint64_t offset = uint64_t{address} - block.base;
  if (offset >= block.bytes.size()) return 0;
  const uint32_t piece =
      static_cast<uint32_t>(std::min<uint64_t>(count, block.bytes.size() - offset));
  std::memcpy(buffer, block.bytes.data() + offset, piece);
  return piece;
}

bool ReplayAddressSpace::Read(uint32_t address, void* buffer, uint32_t count) const {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t at = address;
  uint32_t left = count;
  while (left > 0) {
    if (at > 0xFFFFFFFFull) return false;
    const uint32_t piece = ReadPiece(static_cast<uint32_t>(at), out, left);
    if (piece == 0) return false;
    out += piece;
    at += piece;
    left -= piece;
  }
  return true;
}

std::optional<MemoryRegion> ReplayAddressSpace::Region(uint32_t address) const {
  if (const PeFileView* view = ViewAt(address)) return view->Region(address);
  auto it = blocks_.upper_bound(address);
  if (it == blocks_.begin()) return std::nullopt;
  --it;
  const Block& block = it->second;
  if (uint64_t{address} - block.base >= block.bytes.size()) return std::nullopt;
  return MemoryRegion{block.base, static_cast<uint32_t>(block.bytes.size()), block.base, true};
}

std::optional<ModuleInfo> ReplayAddressSpace::ModuleOf(uint32_t address) const {
  const PeFileView* view = ViewAt(address);
  return view ? view->ModuleOf(address) : std::nullopt;
}

std::string ReplayAddressSpace::ExportName(uint32_t address) const {
  const PeFileView* view = ViewAt(address);
  return view ? view->ExportName(address) : std::string();
}

}  // namespace trace
