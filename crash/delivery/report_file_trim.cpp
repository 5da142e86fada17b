#include "crash/delivery/report_file_trim.h"

#include <cstring>

namespace crash {

namespace {

constexpr std::string_view kReportStart = "date/time";

}  // namespace

bool StartsReport(std::string_view file, size_t at) {
  if (file.substr(at, kReportStart.size()) != kReportStart) return false;
  if (at == 0) return true;
  // The line before must be empty: "\n" (or "\r\n") right before a line end.
  if (file[at - 1] != '\n') return false;
  size_t before = at - 1;
  if (before > 0 && file[before - 1] == '\r') --before;
  return before > 0 && file[before - 1] == '\n';
}

std::optional<size_t> TrimOffset(std::string_view file, size_t max_size) {
  if (max_size == 0 || file.size() <= max_size) return std::nullopt;
  const size_t keep_below = max_size - max_size / 4;
  for (size_t at = file.find(kReportStart); at != std::string_view::npos;
       at = file.find(kReportStart, at + 1)) {
    if (file.size() - at < keep_below && StartsReport(file, at)) return at;
  }
  return std::nullopt;
}

size_t TrimReportFile(std::span<char> file, size_t max_size) {
  const std::optional<size_t> offset =
      TrimOffset(std::string_view(file.data(), file.size()), max_size);
  if (!offset) return file.size();
  const size_t kept = file.size() - *offset;
  std::memmove(file.data(), file.data() + *offset, kept);
  return kept;
}

}  // namespace crash
