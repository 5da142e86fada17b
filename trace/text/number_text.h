// Decimal, hexadecimal and byte-size texts in the fixed styles of the bug report, and
// the reverse conversion of digit texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace trace {

// Value of a digit byte: 0-9 for "0"-"9", 10-15 for "A"-"F" and "a"-"f", 0 for any other.
extern const std::array<std::uint8_t, 256> kDigitValueTable;

// Looks up the value of a digit byte in kDigitValueTable.
inline int DigitValue(char c) {
  return kDigitValueTable[static_cast<unsigned char>(c)];
}

// Decimal digits with "-" when negative, padded by PadText to abs(min_width) (left if > 0).
std::string FormatDecimal(std::int64_t value, int min_width = 0, char fill = ' ');

// "$" and lower-case hex digits; pass 32-bit values zero-extended (uint32_t, not int32_t).
std::string FormatHex(std::uint64_t value, int min_width = 0, char fill = ' ');

// Reads an optional "-" and digits in base 16 or 10 without checks, wrapping at 32 bits.
std::int32_t ParseInteger(bool hex, std::string_view chars);

// "1023 Bytes", "1.50 KB", "12.34 MB", "2.00 GB" on the absolute count, cut, not rounded.
std::string FormatByteSize(std::int64_t count, char decimal_point);

}  // namespace trace
