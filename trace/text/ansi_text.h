// Searching, comparing, replacing and padding of 8-bit ANSI text (Windows-1252).
//
// Positions are 1-based and 0 means "not found". Texts longer than INT_MAX bytes are
// treated as if they ended at INT_MAX, so every position fits an int.
#pragma once

#include <array>
#include <bitset>
#include <string>
#include <string_view>

namespace trace {

// A set of byte values, indexed by the unsigned byte.
using CharSet = std::bitset<256>;

// Lower-case mapping of Windows-1252: A-Z, 0xC0-0xDE except 0xD7, 0x8A, 0x8C, 0x8E, 0x9F.
extern const std::array<unsigned char, 256> kFoldCaseTable;

// Maps a byte to its case-folded (lower-case) form through kFoldCaseTable.
inline unsigned char FoldCase(unsigned char c) {
  return kFoldCaseTable[c];
}

// Position of pattern in text between from and to (backwards when from > to); 0 when absent.
int FindText(std::string_view pattern, std::string_view text, int from, int to, bool ignore_case);

// Position of the first byte in set between from and to (backwards when from > to), or 0.
int FindCharOf(const CharSet& set, std::string_view text, int from, int to);

// True when text starts with prefix, ignoring case; an empty prefix always matches.
bool StartsWithText(std::string_view prefix, std::string_view text);

// True when a and b have the same length and are equal ignoring case.
bool TextEquals(std::string_view a, std::string_view b);

// Upper-cases a-z and the umlauts 0xE4, 0xF6, 0xFC; every other byte is returned as is.
char UpperCaseChar(char c);

// Applies UpperCaseChar to every byte of text.
std::string UpperCaseText(std::string_view text);

// Replaces every occurrence of pattern in text, left to right; true when one was found.
bool ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement,
                bool ignore_case, bool rescan);

// Appends (or, when left, prepends) count fill bytes; a digit fill goes after a leading "-".
std::string& PadText(std::string& text, int count, bool left, char fill);

// Widens each byte to a little-endian 16-bit unit, optionally followed by a zero unit.
std::string AnsiToWide(std::string_view text, bool add_terminator);

}  // namespace trace
