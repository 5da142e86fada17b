#include "trace/text/number_text.h"

#include <cstdlib>

#include "trace/text/ansi_text.h"

namespace trace {
namespace {

constexpr std::array<std::uint8_t, 256> MakeDigitValueTable() {
  std::array<std::uint8_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c)
    table[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c)
    table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c)
    table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  return table;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Digits of value in base 10 or 16 (lower case), without leading zeros.
std::string UnsignedDigits(std::uint64_t value, unsigned base) {
  char buffer[20];
  char* end = buffer + sizeof(buffer);
  char* p = end;
  do {
    *--p = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  return std::string(p, end);
}

// Number of fill bytes that bring a text of length size up to width; may be <= 0.
int PadCount(std::int64_t width, std::size_t size) {
  return static_cast<int>(width - static_cast<std::int64_t>(size));
}

}  // namespace

const std::array<std::uint8_t, 256> kDigitValueTable = MakeDigitValueTable();

std::string FormatDecimal(std::int64_t value, int min_width, char fill) {
  // The magnitude is taken unsigned so that the smallest int64 needs no special case.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string text = UnsignedDigits(magnitude, 10);
  if (value < 0) text.insert(0, 1, '-');
  PadText(text, PadCount(std::llabs(min_width), text.size()), min_width > 0, fill);
  return text;
}

std::string FormatHex(std::uint64_t value, int min_width, char fill) {
  std::string digits = UnsignedDigits(value, 16);
  const std::int64_t width = std::llabs(min_width);
  if (min_width >= 0 && !IsHexDigit(fill)) {
    // Padding stands before the "$", and the "$" counts as one of width + 1 bytes.
    digits.insert(0, 1, '$');
    PadText(digits, PadCount(width + 1, digits.size()), true, fill);
    return digits;
  }
  PadText(digits, PadCount(width, digits.size()), min_width > 0, fill);
  digits.insert(0, 1, '$');
  return digits;
}

std::int32_t ParseInteger(bool hex, std::string_view chars) {
  const bool negative = !chars.empty() && chars.front() == '-';
  if (negative) chars.remove_prefix(1);
  const std::uint32_t base = hex ? 16 : 10;
  std::uint32_t value = 0;  // unsigned: overflow wraps instead of being undefined
  for (char c : chars)
    value = value * base + static_cast<std::uint32_t>(DigitValue(c));
  if (negative) value = 0 - value;
  return static_cast<std::int32_t>(value);
}

std::string FormatByteSize(std::int64_t count, char decimal_point) {
  const std::uint64_t size =
      count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
  constexpr std::uint64_t kKilo = 1024;
  if (size < kKilo) return UnsignedDigits(size, 10) + " Bytes";
  std::uint64_t hundredths;
  const char* unit;
  if (size < kKilo * kKilo) {
    hundredths = size * 100 / kKilo;
    unit = " KB";
  } else if (size < kKilo * kKilo * kKilo) {
    hundredths = size / kKilo * 100 / kKilo;
    unit = " MB";
  } else {
    hundredths = size / kKilo / kKilo * 100 / kKilo;
    unit = " GB";
  }
  // hundredths is at least 100 here, so there are always two digits after the point.
  std::string text = UnsignedDigits(hundredths, 10);
  text.insert(text.size() - 2, 1, decimal_point);
  return text + unit;
}

}  // namespace trace
