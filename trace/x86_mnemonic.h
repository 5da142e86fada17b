// The mnemonic of a decoded instruction: the list entry narrowed by prefix variant,
// memory or register form, group member and r/m choice, with its placeholders filled.
#pragma once

#include <cstddef>
#include <string_view>

#include "trace/x86_decoder.h"

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

}  // namespace trace
