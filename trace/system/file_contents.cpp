#include "trace/system/file_contents.h"

#include <cstdio>
#include <memory>

namespace trace {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::optional<std::string> Fail(FileReadError reason, FileReadError* error) {
  if (error != nullptr) *error = reason;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadFileContents(const std::string& path, uint64_t max_bytes,
                                            FileReadError* error) {
  if (error != nullptr) *error = FileReadError::kNone;
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return Fail(FileReadError::kOpen, error);
  // Read to the end rather than trust a size asked beforehand: the file may change, and
  // some files report none.
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    const size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
    if (count > 0) {
      if (bytes.size() + count > max_bytes) return Fail(FileReadError::kTooLarge, error);
      bytes.append(buffer, count);
    }
    if (count < sizeof buffer) break;
  }
  if (std::ferror(file.get())) return Fail(FileReadError::kRead, error);
  return bytes;
}

bool FileReadable(const std::string& path) {
  return File(std::fopen(path.c_str(), "rb")) != nullptr;
}

}  // namespace trace
