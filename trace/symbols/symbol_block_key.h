// The fixed parts of an embedded symbol block and the password that enciphers its payload.
//
// A block is a 22-byte header followed by the payload (a compressed frame, then enciphered):
//
//   offset 0   14 bytes  kSymbolBlockMarker
//   offset 14  uint32    payload length N (little-endian)
//   offset 18  uint32    format version, kSymbolBlockVersion (little-endian)
//   offset 22  N bytes   payload
//
// The password is built afresh for every block from N, so neither it nor the word it starts
// from stands readable in the program file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trace {

// The resource that carries a module's own block: type "KIV", name "EXCEPT".
inline constexpr char kSymbolResourceType[] = "KIV";
inline constexpr char kSymbolResourceName[] = "EXCEPT";

// The 14 characters every block starts with.
inline constexpr std::string_view kSymbolBlockMarker = "Adrelo symbols";
static_assert(kSymbolBlockMarker.size() == 14);

// The only block format version that is read.
inline constexpr uint32_t kSymbolBlockVersion = 2;

// Size of the block header in front of the payload.
inline constexpr size_t kSymbolBlockHeaderSize = 22;

// The password for a payload of `payload_length` bytes: the fixed six-letter word, "$" and
// the length as 7 upper-case hexadecimal digits, the word again, the length as 8 decimal
// digits; that text twice over; then enciphered in place (ECB, little-endian halves) with
// itself as the password.
std::string SymbolBlockPassword(uint32_t payload_length);

}  // namespace trace
