#include "htmlabel/hint_text.h"

namespace htmlabel {
namespace {

bool IsLineBreakTag(std::string_view text, size_t offset) {
  if (text.size() - offset < 4 || text[offset] != '<' || text[offset + 3] != '>') return false;
  const char first = text[offset + 1];
  const char second = text[offset + 2];
  const bool b_or_h = first == 'B' || first == 'b' || first == 'H' || first == 'h';
  return b_or_h && (second == 'R' || second == 'r');
}

}  // namespace

std::string HintPlainText(std::string_view markup) {
  std::string broken;
  broken.reserve(markup.size());
  for (size_t i = 0; i < markup.size();) {
    if (IsLineBreakTag(markup, i)) {
      broken += "\r\n";
      i += 4;
    } else {
      broken += markup[i++];
    }
  }
  std::string out;
  out.reserve(broken.size());
  size_t i = 0;
  while (i < broken.size()) {
    const size_t open = broken.find('<', i);
    if (open == std::string::npos) {
      out.append(broken, i, std::string::npos);
      break;
    }
    out.append(broken, i, open - i);
    const size_t close = broken.find('>', open);
    if (close == std::string::npos) {
      out.append(broken, open, std::string::npos);
      break;
    }
    i = close + 1;
  }
  return out;
}

}  // namespace htmlabel
