#include "trace/pe/file_version.h"

namespace trace {

std::string FileVersionText(uint64_t version) {
  std::string text;
  for (int shift = 48; shift >= 0; shift -= 16) {
    if (!text.empty()) text.push_back('.');
    text += std::to_string((version >> shift) & 0xFFFF);
  }
  return text;
}

}  // namespace trace
