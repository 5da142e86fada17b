#include "trace/symbols/disk_symbol_files.h"

#include <fstream>
#include <iterator>

#include "trace/pe/pe_resource.h"
#include "trace/symbols/symbol_block_key.h"

namespace trace {
namespace {

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
  return std::ifstream(name, std::ios::binary).good();
}

std::optional<std::string> DiskSymbolFiles::Load(const std::string& name) const {
  std::ifstream file(name, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return bytes;
}

std::unique_ptr<FileBytes> DiskSymbolFiles::Map(const std::string& name) const {
  std::optional<std::string> bytes = Load(name);
  if (!bytes) return nullptr;
  return std::make_unique<LoadedFile>(std::move(*bytes));
}

}  // namespace trace
