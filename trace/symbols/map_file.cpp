#include "trace/symbols/map_file.h"

#include <algorithm>
#include <optional>

#include "trace/text/ansi_text.h"

namespace trace {
namespace {

// The search over n sorted entries: start in the middle with a step of about a quarter,
// halve the step (rounding up) each round, and after a round with step 1 take one more round.
// With entries_rule every round also needs step < n, so a single entry is never found.
template <class Below, class Matches>
std::optional<size_t> Search(size_t n, bool entries_rule, Below below, Matches matches) {
  if (n == 0) return std::nullopt;
  size_t i = n / 2;
  size_t step = (i + 2) / 2;
  bool last_step = false;
  while (step > 0 && (!entries_rule || step < n)) {
    if (below(i)) {
      i = i > step ? i - step : 0;
    } else if (matches(i)) {
      return i;
    } else {
      i = std::min(i + step, n - 1);
    }
    if (last_step) return std::nullopt;
    if (step == 1) {
      last_step = true;
    } else {
      step = (step + 1) / 2;
    }
  }
  return std::nullopt;
}

// Segments tried below an address when looking for the one of a kind that holds it.
constexpr int kOverlapReach = 8;

bool Contains(const TMfSegment& segment, uint32_t address) {
  return address >= segment.start && uint64_t{address} < uint64_t{segment.start} + segment.length;
}

}  // namespace

void TMapFile::SetModule(uint32_t module, std::string module_file_name) {
  module_ = module;
  module_file_name_ = std::move(module_file_name);
  symbol_file_name_ = module_file_name_;
}

void TMapFile::SetRanges(uint32_t code_start, uint32_t code_end, uint32_t data_start,
                         uint32_t data_end) {
  code_start_ = code_start;
  code_end_ = code_end;
  data_start_ = data_start;
  data_end_ = data_end;
}

size_t TMapFile::AddSegment(bool code, uint32_t start, uint32_t length, std::string unit_name) {
  const std::vector<TMfSegment>& items = segments_.items();
  // Code segments come first; a new one goes after every one of its kind that starts at or
  // before it.
  const auto data = std::partition_point(items.begin(), items.end(),
                                         [](const TMfSegment& item) { return item.code != 0; });
  const auto kind_begin = code ? items.begin() : data;
  const auto kind_end = code ? data : items.end();
  const auto at =
      std::upper_bound(kind_begin, kind_end, start,
                       [](uint32_t value, const TMfSegment& item) { return value < item.start; });
  const auto index = static_cast<size_t>(at - items.begin());
  segments_.Insert(index, TMfSegment{1, static_cast<uint8_t>(code ? 1 : 0), start, length,
                                     std::move(unit_name)});
  last_added_ = index;
  return index;
}

void TMapFile::AppendPublic(bool code, std::string name, uint32_t address) {
  publics_.Append(TMfPublic{1, static_cast<uint8_t>(code ? 1 : 0), std::move(name), address});
}

void TMapFile::AppendLine(int32_t line, uint32_t address) {
  lines_.Append(TMfLine{line, address});
}

void TMapFile::SortPublics() {
  std::stable_sort(publics_.mutable_items().begin(), publics_.mutable_items().end(),
                   [](const TMfPublic& a, const TMfPublic& b) { return a.address < b.address; });
}

void TMapFile::SortLines() {
  std::stable_sort(lines_.mutable_items().begin(), lines_.mutable_items().end(),
                   [](const TMfLine& a, const TMfLine& b) { return a.address < b.address; });
}

size_t TMapFile::SegmentIndexOf(bool code, uint32_t address) const {
  const std::vector<TMfSegment>& items = segments_.items();
  const auto data = std::partition_point(items.begin(), items.end(),
                                         [](const TMfSegment& item) { return item.code != 0; });
  const auto kind_begin = code ? items.begin() : data;
  auto at =
      std::upper_bound(code ? items.begin() : data, code ? data : items.end(), address,
                       [](uint32_t value, const TMfSegment& item) { return value < item.start; });
  // The nearest segment that starts at or below the address holds it, unless segments
  // overlap; then an earlier, longer one may. A few are tried, so that a look-up stays short
  // in data with many segments below the address.
  for (int tried = 0; tried < kOverlapReach && at != kind_begin; ++tried) {
    --at;
    if (Contains(*at, address)) return static_cast<size_t>(at - items.begin());
  }
  return items.size();
}

TMfSegment TMapFile::SegmentAt(uint32_t address) const {
  if (!valid_) return {};
  const std::vector<TMfSegment>& items = segments_.items();
  const auto found = Search(
      items.size(), false, [&](size_t i) { return address < items[i].start; },
      [&](size_t i) { return Contains(items[i], address); });
  return found ? items[*found] : TMfSegment{};
}

size_t TMapFile::PublicIndexOf(uint32_t address) const {
  const std::vector<TMfPublic>& items = publics_.items();
  if (!valid_) return items.size();
  const auto found = Search(
      items.size(), false, [&](size_t i) { return address < items[i].address; },
      [&](size_t i) {
        const uint32_t end = i + 1 < items.size() ? items[i + 1].address : code_end_;
        return items[i].address <= address && address < end;
      });
  return found ? *found : items.size();
}

TMfPublic TMapFile::PublicAt(uint32_t address) const {
  const size_t index = PublicIndexOf(address);
  return index < publics_.items().size() ? publics_.items()[index] : TMfPublic{};
}

int32_t TMapFile::LineAt(uint32_t address) const {
  if (!valid_) return 0;
  const std::vector<TMfLine>& items = lines_.items();
  const auto found = Search(
      items.size(), true, [&](size_t i) { return address < items[i].address; },
      [&](size_t i) {
        const uint32_t end = i + 1 < items.size() ? items[i + 1].address : code_end_;
        return items[i].address <= address && address < end;
      });
  if (!found) return 0;
  const TMfSegment segment = SegmentAt(address);
  const uint32_t line_address = items[*found].address;
  if (segment.valid == 0 || line_address < segment.start ||
      uint64_t{line_address} > uint64_t{segment.start} + segment.length) {
    return 0;
  }
  return items[*found].line;
}

uint32_t TMapFile::FindPublic(bool code, std::string_view unit, bool case_sensitive,
                              std::string_view name) const {
  if (!valid_) return 0;
  for (const TMfSegment& segment : segments_.items()) {
    if ((segment.code != 0) != code || !TextEquals(segment.unit_name, unit)) continue;
    for (const TMfPublic& item : publics_.items()) {
      if ((item.code != 0) != code || item.address < segment.start ||
          uint64_t{item.address} > uint64_t{segment.start} + segment.length) {
        continue;
      }
      if (case_sensitive ? item.name == name : TextEquals(item.name, name)) return item.address;
    }
  }
  return 0;
}

std::string TMapFile::ExactName(uint32_t address) const {
  const size_t index = PublicIndexOf(address);
  if (index >= publics_.items().size()) return {};
  const TMfPublic& item = publics_.items()[index];
  return item.address == address ? item.name : std::string();
}

}  // namespace trace
