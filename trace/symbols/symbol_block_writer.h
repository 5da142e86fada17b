// Writes a module's symbol table as a symbol block: the 22-byte header, then the payload
// (the three sections below, framed and compressed, then enciphered with the password of its
// length).
//
// Payload sections, all integers little-endian:
//   segments  count (uint32); per unit range: offset (uint32), length (uint32), unit (packed
//             string)
//   publics   count (uint32); per function: name (packed string), then the first one's offset
//             (uint32) and every further one's offset as a packed difference to the previous
//   lines     count (uint32); when not 0: first line number (uint32), first offset (uint32),
//             then per further line a packed difference of the line number and of the offset
//   entry     the entry point's offset (uint32), only when the table has one
// A packed integer is one signed byte, or the byte 0x80 followed by the value as an int32; a
// packed string is a length byte and that many characters (longer texts are cut to 255).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/symbols/symbol_table.h"

namespace trace {

// Longest text a packed string holds.
inline constexpr size_t kMaxPackedStringLength = 255;

// Appends a packed integer: one byte for -127..127, else 0x80 and the value as an int32.
void AppendPackedInteger(std::string& out, int32_t value);

// Appends a packed string: the length byte (the text cut to 255 bytes) and the characters.
void AppendPackedString(std::string& out, std::string_view text);

// The uncompressed payload of the table.
std::string SymbolBlockPayload(const SymbolTable& table);

// The whole block around an uncompressed payload: header, then the payload compressed into a
// frame and enciphered. Empty when the payload is too large to compress.
std::string SealSymbolBlock(std::string_view payload);

// The whole block of the table (SealSymbolBlock of SymbolBlockPayload).
std::string WriteSymbolBlock(const SymbolTable& table);

}  // namespace trace
