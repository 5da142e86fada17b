#include "trace/text/ansi_text.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

namespace trace {
namespace {

constexpr std::array<unsigned char, 256> MakeFoldCaseTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[c] = static_cast<unsigned char>(c);
  for (int c = 'A'; c <= 'Z'; ++c)
    table[c] = static_cast<unsigned char>(c + 0x20);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) table[c] = static_cast<unsigned char>(c + 0x20);  // 0xD7 is the sign ×
  }
  table[0x8A] = 0x9A;  // Š
  table[0x8C] = 0x9C;  // Œ
  table[0x8E] = 0x9E;  // Ž
  table[0x9F] = 0xFF;  // Ÿ
  return table;
}

// Length of a text as an int; longer texts are cut at INT_MAX.
int Length(std::string_view text) {
  return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
}

// True when pattern matches text at index, ignoring case or not.
bool MatchesAt(std::string_view pattern, std::string_view text, std::size_t index,
               bool ignore_case) {
  const char* p = pattern.data();
  const char* t = text.data() + index;
  if (!ignore_case) return std::memcmp(p, t, pattern.size()) == 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (FoldCase(static_cast<unsigned char>(p[i])) != FoldCase(static_cast<unsigned char>(t[i]))) {
      return false;
    }
  }
  return true;
}

// Index of the first match of a non-empty pattern at or after start, or npos.
std::size_t FindFrom(std::string_view pattern, std::string_view text, std::size_t start,
                     bool ignore_case) {
  if (pattern.empty() || pattern.size() > text.size()) return std::string_view::npos;
  const std::size_t last = text.size() - pattern.size();
  for (std::size_t i = start; i <= last; ++i) {
    if (MatchesAt(pattern, text, i, ignore_case)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

const std::array<unsigned char, 256> kFoldCaseTable = MakeFoldCaseTable();

int FindText(std::string_view pattern, std::string_view text, int from, int to, bool ignore_case) {
  const int text_length = Length(text);
  const int pattern_length = Length(pattern);
  if (pattern_length == 0 || text_length == 0 || pattern_length > text_length) return 0;
  const int last_start = text_length - pattern_length + 1;
  if (from <= to) {
    const int first = std::max(from, 1);
    const int last = std::min(to, last_start);
    for (int pos = first; pos <= last; ++pos) {
      if (MatchesAt(pattern, text, static_cast<std::size_t>(pos - 1), ignore_case)) return pos;
    }
  } else {
    const int first = std::min(from, last_start);
    const int last = std::max(to, 1);
    for (int pos = first; pos >= last; --pos) {
      if (MatchesAt(pattern, text, static_cast<std::size_t>(pos - 1), ignore_case)) return pos;
    }
  }
  return 0;
}

int FindCharOf(const CharSet& set, std::string_view text, int from, int to) {
  const int text_length = Length(text);
  if (from <= to) {
    for (int pos = std::max(from, 1), last = std::min(to, text_length); pos <= last; ++pos) {
      if (set.test(static_cast<unsigned char>(text[pos - 1]))) return pos;
    }
  } else {
    for (int pos = std::min(from, text_length), last = std::max(to, 1); pos >= last; --pos) {
      if (set.test(static_cast<unsigned char>(text[pos - 1]))) return pos;
    }
  }
  return 0;
}

bool StartsWithText(std::string_view prefix, std::string_view text) {
  return prefix.size() <= text.size() && MatchesAt(prefix, text, 0, true);
}

bool TextEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesAt(a, b, 0, true);
}

char UpperCaseChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'a' && u <= 'z') || u == 0xE4 || u == 0xF6 || u == 0xFC) {
    return static_cast<char>(u - 0x20);
  }
  return c;
}

std::string UpperCaseText(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = UpperCaseChar(c);
  return result;
}

bool ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement,
                bool ignore_case, bool rescan) {
  std::size_t found = FindFrom(pattern, text, 0, ignore_case);
  if (found == std::string::npos) return false;

  // A rescan only differs when the replacement is not longer than the pattern; a longer
  // one resumes after itself, as a plain scan does, so that a replacement that contains
  // the pattern cannot be matched over and over.
  if (rescan && replacement.size() <= pattern.size()) {
    // The text never grows and every step moves the start forwards or shrinks the text,
    // so this ends. After an empty replacement the scan resumes where the pattern was,
    // which covers a match formed by the bytes that now meet there.
    const std::string pattern_copy(pattern);  // either may point into text
    const std::string replacement_copy(replacement);
    while (found != std::string::npos) {
      text.replace(found, pattern_copy.size(), replacement_copy);
      const std::size_t resume = replacement_copy.empty() ? found : found + 1;
      found = FindFrom(pattern_copy, text, resume, ignore_case);
    }
    return true;
  }

  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  while (found != std::string::npos) {
    result.append(text, copied, found - copied);
    result.append(replacement);
    copied = found + pattern.size();
    found = FindFrom(pattern, text, copied, ignore_case);
  }
  result.append(text, copied, std::string::npos);
  text = std::move(result);
  return true;
}

std::string& PadText(std::string& text, int count, bool left, char fill) {
  if (count <= 0) return text;
  const auto n = static_cast<std::size_t>(count);
  if (!left) {
    text.append(n, fill);
  } else if (fill >= '0' && fill <= '9' && !text.empty() && text[0] == '-') {
    text.insert(1, n, fill);
  } else {
    text.insert(0, n, fill);
  }
  return text;
}

std::string AnsiToWide(std::string_view text, bool add_terminator) {
  std::string wide;
  wide.reserve(text.size() * 2 + (add_terminator ? 2 : 0));
  for (char c : text) {
    wide.push_back(c);
    wide.push_back('\0');
  }
  if (add_terminator) wide.append(2, '\0');
  return wide;
}

}  // namespace trace
