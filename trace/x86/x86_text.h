// The text line of one decoded instruction, as the bug report lists code:
// "00401000   mov                eax, dword ptr [ebp-8]" with optional name or string
// comments, and "db $xx" lines for the bytes of an invalid instruction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/pe/address_space.h"
#include "trace/x86/x86_decoder.h"

namespace trace {

// A number as the listing writes it: decimal in -9..9, else "$" and lower-case hex,
// "-" before negative values and, when show_plus, "+" before the others.
std::string FormatX86Number(int64_t value, bool show_plus = false);

// Appends the line of in (no line end). An invalid instruction gives one "db" line per
// byte, separated by CR LF. target_label, when given, replaces a branch target operand.
// Comments (names, strings) need memory; pass with_comments false to leave them out.
void AppendInstructionText(const X86Instruction& in, const AddressSpace& memory, std::string& out,
                           std::string_view target_label = {}, bool with_comments = true);

// Decodes the instruction at address (tracking regs when given) and returns its text.
std::string DisassembleInstruction(const AddressSpace& memory, uint32_t address,
                                   RegisterState* regs, X86Instruction& in);

}  // namespace trace
