// Window descriptions from arbitrary bytes: reading never crashes or runs
// away, and whatever reads successfully writes back to text that reads to
// the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/window_description.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  fw::DescriptionLimits limits;
  limits.max_text_bytes = 1 << 16;
  const fw::DescriptionReadResult read = fw::ReadWindowDescription(text, limits);
  if (!read.ok) return 0;
  const std::string written = fw::WriteWindowDescription(read.root);
  fw::DescriptionLimits relaxed = limits;
  relaxed.max_text_bytes = written.size();
  const fw::DescriptionReadResult again = fw::ReadWindowDescription(written, relaxed);
  if (!again.ok || !(again.root == read.root)) std::abort();
  return 0;
}
