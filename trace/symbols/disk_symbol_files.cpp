#include "trace/symbols/disk_symbol_files.h"

#include "trace/pe/pe_resource.h"
#include "trace/symbols/symbol_block_key.h"
#include "trace/system/file_contents.h"

namespace trace {
namespace {

// The largest symbol file read: far beyond any real map or block.
constexpr uint64_t kMaxSymbolFileBytes = 256u << 20;

class LoadedFile : public FileBytes {
 public:
  explicit LoadedFile(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string_view bytes() const override { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace

std::optional<std::string> DiskSymbolFiles::ModuleResource(uint32_t module) const {
  if (space_ == nullptr) return std::nullopt;
  return FindResourceData(*space_, module, kSymbolResourceType, kSymbolResourceName);
}

bool DiskSymbolFiles::Exists(const std::string& name) const {
  return FileReadable(name);
}

std::optional<std::string> DiskSymbolFiles::Load(const std::string& name) const {
  return ReadFileContents(name, kMaxSymbolFileBytes);
}

std::unique_ptr<FileBytes> DiskSymbolFiles::Map(const std::string& name) const {
  std::optional<std::string> bytes = Load(name);
  if (!bytes) return nullptr;
  return std::make_unique<LoadedFile>(std::move(*bytes));
}

}  // namespace trace
