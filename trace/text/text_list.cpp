#include "trace/text/text_list.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>

#include "trace/text/ansi_text.h"

namespace trace {
namespace {

// Bytes below 0x21 (control characters and the blank) count as blanks. The separator
// itself never does, so that a blank or tab separator keeps its empty items.
bool IsBlank(char c, char separator) {
  return static_cast<unsigned char>(c) < 0x21 && c != separator;
}

}  // namespace

int ListItemCount(std::string_view list, char separator) {
  if (list.empty()) return 0;
  const auto separators = std::count(list.begin(), list.end(), separator);
  return static_cast<int>(std::min<std::ptrdiff_t>(separators, INT_MAX - 1)) + 1;
}

std::string ListItem(std::string_view list, int index, char separator) {
  if (index < 1 || list.empty()) return {};
  std::size_t start = 0;
  for (int i = 1; i < index; ++i) {
    const std::size_t next = list.find(separator, start);
    if (next == std::string_view::npos) return {};
    start = next + 1;
  }
  const std::size_t end = list.find(separator, start);
  return std::string(list.substr(start, end == std::string_view::npos ? end : end - start));
}

bool ListContains(std::string_view list, std::string_view item, char separator) {
  if (item.empty() || item.size() > list.size()) return false;
  // Every occurrence is tried: the first one may be part of a longer item.
  const std::size_t last = list.size() - item.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (i > 0 && list[i - 1] != separator) continue;
    const std::size_t end = i + item.size();
    if (end < list.size() && list[end] != separator) continue;
    if (TextEquals(item, list.substr(i, item.size()))) return true;
  }
  return false;
}

void NormalizeList(std::string& list, char separator) {
  const auto is_trimmed = [separator](char c) {
    return static_cast<unsigned char>(c) < 0x21 || c == separator;
  };
  const auto first = std::find_if_not(list.begin(), list.end(), is_trimmed);
  const auto last = std::find_if_not(list.rbegin(), list.rend(), is_trimmed).base();
  if (first >= last) {
    list.clear();
    return;
  }
  // Between the two ends every item is trimmed of its blanks; the separators stay.
  std::string result;
  result.reserve(static_cast<std::size_t>(last - first));
  auto item_start = first;
  while (true) {
    const auto item_end = std::find(item_start, last, separator);
    auto begin = item_start;
    auto end = item_end;
    while (begin != end && IsBlank(*begin, separator))
      ++begin;
    while (end != begin && IsBlank(*(end - 1), separator))
      --end;
    result.append(begin, end);
    if (item_end == last) break;
    result.push_back(separator);
    item_start = item_end + 1;
  }
  list = std::move(result);
}

}  // namespace trace
