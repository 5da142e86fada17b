// The bug report file's size rule on any bytes (the file on disk may hold anything): the
// first two bytes give the maximum, the rest is the file. What is kept is a suffix of the
// file; when something was dropped it starts a report and is below three quarters of the
// maximum.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crash/delivery/report_file_trim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t max_size = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8;
  const std::string original(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::string file = original;
  const size_t kept = crash::TrimReportFile(std::span<char>(file.data(), file.size()), max_size);
  if (kept > original.size()) std::abort();
  if (kept == original.size()) {
    if (file != original) std::abort();  // nothing dropped: nothing moved
    return 0;
  }
  const size_t offset = original.size() - kept;
  if (std::memcmp(file.data(), original.data() + offset, kept) != 0) std::abort();
  if (original.size() <= max_size || kept >= max_size - max_size / 4) std::abort();
  if (!crash::StartsReport(original, offset)) std::abort();
  return 0;
}
