// Fuzzes the text helpers against plain reference searches and their own invariants.
//
// Input layout: one flag byte, two 16-bit positions (from, to), then the pattern, the
// replacement and the text, separated by zero bytes. Missing parts are empty.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/text/ansi_text.h"
#include "trace/text/number_text.h"
#include "trace/text/text_list.h"

namespace {

#define CHECK(condition)                \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

using trace::FoldCase;

bool SameByte(char a, char b, bool ignore_case) {
  const auto x = static_cast<unsigned char>(a);
  const auto y = static_cast<unsigned char>(b);
  return ignore_case ? FoldCase(x) == FoldCase(y) : x == y;
}

// Every 1-based position where pattern matches text.
std::vector<int> AllMatches(std::string_view pattern, std::string_view text, bool ignore_case) {
  std::vector<int> matches;
  if (pattern.empty() || pattern.size() > text.size()) return matches;
  for (std::size_t i = 0; i + pattern.size() <= text.size(); ++i) {
    bool match = true;
    for (std::size_t j = 0; j < pattern.size() && match; ++j) {
      match = SameByte(pattern[j], text[i + j], ignore_case);
    }
    if (match) matches.push_back(static_cast<int>(i + 1));
  }
  return matches;
}

// FindText restated on the list of all matches.
int ReferenceFind(std::string_view pattern, std::string_view text, int from, int to,
                  bool ignore_case) {
  const std::vector<int> matches = AllMatches(pattern, text, ignore_case);
  if (from <= to) {
    for (int p : matches) {
      if (p >= from && p <= to) return p;
    }
  } else {
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
      if (*it <= from && *it >= to) return *it;
    }
  }
  return 0;
}

// Greedy left-to-right replacement of non-overlapping matches of the original text.
std::string ReferenceReplace(std::string_view text, std::string_view pattern,
                             std::string_view replacement, bool ignore_case) {
  std::string result;
  std::size_t next = 0;  // 0-based index of the first byte not yet copied
  for (int p : AllMatches(pattern, text, ignore_case)) {
    const auto start = static_cast<std::size_t>(p - 1);
    if (start < next) continue;
    result.append(text.substr(next, start - next));
    result.append(replacement);
    next = start + pattern.size();
  }
  result.append(text.substr(next));
  return result;
}

void CheckSearches(std::string_view pattern, std::string_view text, int from, int to,
                   bool ignore_case) {
  CHECK(trace::FindText(pattern, text, from, to, ignore_case) ==
        ReferenceFind(pattern, text, from, to, ignore_case));
  CHECK(trace::FindText(pattern, text, to, from, ignore_case) ==
        ReferenceFind(pattern, text, to, from, ignore_case));

  trace::CharSet set;
  for (char c : pattern)
    set.set(static_cast<unsigned char>(c));
  const int length = static_cast<int>(text.size());
  for (int a : {from, to}) {
    for (int b : {from, to, 1, length}) {
      int expected = 0;
      if (a <= b) {
        for (int p = a < 1 ? 1 : a; p <= b && p <= length && expected == 0; ++p) {
          if (set.test(static_cast<unsigned char>(text[p - 1]))) expected = p;
        }
      } else {
        for (int p = a > length ? length : a; p >= b && p >= 1 && expected == 0; --p) {
          if (set.test(static_cast<unsigned char>(text[p - 1]))) expected = p;
        }
      }
      CHECK(trace::FindCharOf(set, text, a, b) == expected);
    }
  }

  CHECK(trace::StartsWithText(pattern, text) ==
        (pattern.empty() || trace::FindText(pattern, text, 1, 1, true) == 1));
  CHECK(trace::TextEquals(pattern, text) ==
        (pattern.size() == text.size() && trace::StartsWithText(pattern, text)));
  const std::string upper = trace::UpperCaseText(text);
  CHECK(upper.size() == text.size());
  CHECK(trace::TextEquals(upper, text));
}

void CheckReplace(std::string_view pattern, std::string_view replacement, std::string_view text,
                  bool ignore_case) {
  const bool present =
      trace::FindText(pattern, text, 1, static_cast<int>(text.size()), ignore_case) != 0;
  // A one-byte pattern that the replacement lacks cannot survive either scan.
  const bool cannot_recur =
      pattern.size() == 1 && AllMatches(pattern, replacement, ignore_case).empty();

  std::string plain(text);
  CHECK(trace::ReplaceAll(plain, pattern, replacement, ignore_case, false) == present);
  CHECK(plain == ReferenceReplace(text, pattern, replacement, ignore_case));
  if (cannot_recur) CHECK(AllMatches(pattern, plain, ignore_case).empty());

  std::string rescanned(text);
  CHECK(trace::ReplaceAll(rescanned, pattern, replacement, ignore_case, true) == present);
  if (replacement.size() > pattern.size()) {
    CHECK(rescanned == plain);
  } else {
    CHECK(rescanned.size() <= text.size());
    CHECK(rescanned.size() <= plain.size());
  }
  if (cannot_recur) CHECK(AllMatches(pattern, rescanned, ignore_case).empty());
}

bool IsBlank(char c, char separator) {
  return static_cast<unsigned char>(c) < 0x21 && c != separator;
}

void CheckList(std::string_view text, char separator) {
  const int count = trace::ListItemCount(text, separator);
  std::string joined;
  for (int i = 1; i <= count; ++i) {
    if (i > 1) joined.push_back(separator);
    const std::string item = trace::ListItem(text, i, separator);
    CHECK(item.find(separator) == std::string::npos);
    if (!item.empty()) CHECK(trace::ListContains(text, item, separator));
    joined += item;
  }
  CHECK(joined == text);
  CHECK(trace::ListItem(text, count + 1, separator).empty());

  std::string list(text);
  trace::NormalizeList(list, separator);
  if (!list.empty()) {
    for (char end : {list.front(), list.back()}) {
      CHECK(end != separator && static_cast<unsigned char>(end) >= 0x21);
    }
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] != separator) continue;
    CHECK(!IsBlank(list[i - 1], separator));
    CHECK(i + 1 == list.size() || !IsBlank(list[i + 1], separator));
  }
  std::string again = list;
  trace::NormalizeList(again, separator);
  CHECK(again == list);
}

void CheckNumbers(std::string_view text) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
    bits = bits << 8 | static_cast<unsigned char>(text[i]);
  }
  const auto value = static_cast<std::int32_t>(bits);
  CHECK(trace::ParseInteger(false, trace::FormatDecimal(value)) == value);
  CHECK(trace::ParseInteger(false, trace::FormatDecimal(value, 12, '0')) == value);
  CHECK(trace::ParseInteger(true, trace::FormatHex(bits).substr(1)) == value);
  CHECK(trace::ParseInteger(true, trace::FormatHex(bits, 9, '0').substr(1)) == value);
  trace::ParseInteger(true, text);
  trace::ParseInteger(false, text);
  CHECK(trace::AnsiToWide(text, true).size() == text.size() * 2 + 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const std::uint8_t flags = data[0];
  const auto from = static_cast<std::int16_t>(data[1] | data[2] << 8);
  const auto to = static_cast<std::int16_t>(data[3] | data[4] << 8);
  std::string_view rest(reinterpret_cast<const char*>(data + 5), size - 5);

  std::string_view parts[3];
  for (int i = 0; i < 2; ++i) {
    const std::size_t end = rest.find('\0');
    if (end == std::string_view::npos) {
      parts[i] = rest;
      rest = {};
      continue;
    }
    parts[i] = rest.substr(0, end);
    rest.remove_prefix(end + 1);
  }
  parts[2] = rest;
  const std::string_view pattern = parts[0], replacement = parts[1], text = parts[2];
  const bool ignore_case = (flags & 1) != 0;
  const char separator = ",; \t"[(flags >> 1) & 3];

  CheckSearches(pattern, text, from, to, ignore_case);
  CheckReplace(pattern, replacement, text, ignore_case);
  CheckList(text, separator);
  CheckNumbers(text);
  return 0;
}
