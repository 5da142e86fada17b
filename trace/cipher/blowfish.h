// Blowfish block cipher (16 rounds, 64-bit blocks) and in-place string modes over it.
//
// Every string operation keys a fresh cipher from its password and keeps nothing after it
// returns. Only whole 8-byte blocks are processed: a buffer shorter than 8 bytes and the
// trailing 1-7 bytes of a longer one are left unchanged. An empty password leaves the data
// unchanged (the key schedule has no bytes to cycle over).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "trace/cipher/blowfish_tables.h"

namespace trace {

// One keyed Blowfish cipher: the P-array and S-boxes after the standard key schedule.
class Blowfish {
 public:
  // Runs the standard key schedule over the key's bytes taken cyclically (bytes beyond the
  // first 72 have no effect); an empty key mixes nothing into the P-array.
  explicit Blowfish(std::string_view key);

  // Enciphers one block given as its two 32-bit halves, in place.
  void EncryptBlock(uint32_t& left, uint32_t& right) const;
  // Deciphers one block given as its two 32-bit halves, in place.
  void DecryptBlock(uint32_t& left, uint32_t& right) const;

 private:
  uint32_t Feistel(uint32_t x) const;

  std::array<uint32_t, kBlowfishPWords> p_;
  std::array<std::array<uint32_t, kBlowfishSWords>, kBlowfishSBoxes> s_;
};

// Enciphers whole blocks in place, ECB; each block is two little-endian dwords, the one at
// offset 4 being the left half and the one at offset 0 the right half.
void EncryptString(std::string& data, std::string_view password);

// Deciphers whole blocks in place, ECB, with the block layout of EncryptString.
void DecryptString(std::string& data, std::string_view password);

// Enciphers whole blocks in place, ECB; bytes 0-3 and 4-7 of each block are the left and right
// halves as big-endian dwords (the byte order of the published test vectors).
void EncryptStringBigEndian(std::string& data, std::string_view password);

// Deciphers whole blocks in place, ECB, with the block layout of EncryptStringBigEndian.
void DecryptStringBigEndian(std::string& data, std::string_view password);

// Counter mode when the counter is not 0, else DecryptStringBigEndian; then RemovePadding.
// The counter's 8 bytes (low dword, then high dword, each little-endian) are read as one
// big-endian number, incremented before each block, enciphered as a big-endian block and
// XORed into the data block. Counter mode is its own inverse. An empty password leaves the
// data unchanged, padding included.
void DecryptStringWithCounter(std::string& data, std::string_view password, uint32_t counter_low,
                              uint32_t counter_high);

// Removes the last n bytes when the last byte n is 1..8 and the last n bytes all equal n.
void RemovePadding(std::string& data);

}  // namespace trace
