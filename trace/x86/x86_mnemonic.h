// The mnemonic of a decoded instruction: the list entry narrowed by prefix variant,
// memory or register form, group member and r/m choice, with its placeholders filled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/x86/x86_decoder.h"
#include "trace/x86/x86_tables.h"

namespace trace {

// The part of a list entry that applies to the instruction; empty when none does.
std::string_view SelectMnemonic(std::string_view entry, const X86Instruction& in);

// False when the list entry of the instruction selects no name for its form.
bool MnemonicFormAllowed(const X86Instruction& in);

// Allowed r/m values (bit per value) of the list entry of an opcode (two_byte: 0x0F xx) for a
// prefix variant (0 none, 1 0x66, 2 0xF2, 3 0xF3), memory or register form and reg field.
uint8_t AllowedRmValues(bool two_byte, uint8_t opcode, int variant, bool register_form, int reg);

// Writes the finished mnemonic (condition code, segment, S/P letters, "f" of x87) into
// out (NUL-terminated, cut at capacity - 1); returns its length.
size_t MnemonicText(const X86Instruction& in, char* out, size_t capacity);

// The finished mnemonics that the opcode, the prefixes, the form and the reg field choose
// (not the r/m field), each in a record of kSize bytes padded with blanks: a line takes its
// name, and the blanks behind it, in one fixed-size copy. Built on first use.
class MnemonicRecords {
 public:
  static constexpr size_t kSize = 16;  // bytes of a record; the names in them are shorter

  static const MnemonicRecords& Get() {
    static const MnemonicRecords records;
    return records;
  }

  // The record of in and, in length, the length of its name (never 0, never ending in a
  // blank); null when the name has no record and must be composed.
  const char* Find(const X86Instruction& in, size_t& length) const {
    const int table = in.opcode >> 8 ? 1 : 0;
    const uint8_t op = in.opcode & 0xFF;
    // Records made by the decoder carry their opcode's list entry; others are composed.
    if (in.opcode == 0x0F0F || in.reg >= 8 ||
        in.mnemonic != (table ? x86::kTwoByteMnemonic[op] : x86::kOneByteMnemonic[op])) {
      return nullptr;
    }
    const int prefixes = in.operand16 | in.repne << 1 | in.rep << 2;
    const uint16_t slot = slots_[Slot(table, op, prefixes, in.has_modrm && in.mod == 3, in.reg)];
    if (slot == 0) return nullptr;
    length = slot & 0x0F;
    return pool_.data() + (slot >> 4) * kSize;
  }

 private:
  MnemonicRecords();

  static size_t Slot(int table, int op, int prefixes, int form, int reg) {
    return (((static_cast<size_t>(table) * 256 + op) * 8 + prefixes) * 2 + form) * 8 + reg;
  }

  static constexpr size_t kSlots = 2 * 256 * 8 * 2 * 8;
  // Record number << 4 | length, 0 none. In the heap: as a member array the 128 KB would
  // sit in the program file, the string's initial state making the whole object data.
  std::vector<uint16_t> slots_ = std::vector<uint16_t>(kSlots);
  std::string pool_;  // the records
};

}  // namespace trace
