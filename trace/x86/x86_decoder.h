// Decoding of one 32-bit x86 instruction into a caller-owned record, with optional
// tracking of known general-register values. Decoding never reads outside the bytes it is
// given (or outside what the address space can read) and allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "trace/pe/address_space.h"

namespace trace {

// Known values of the eight general registers (eax, ecx, edx, ebx, esp, ebp, esi, edi).
struct RegisterState {
  std::array<uint32_t, 8> value{};   // known value, 0 when unknown
  std::array<uint32_t, 8> source{};  // address the value was loaded from, 0 when none

  // True when both states know the same values.
  bool operator==(const RegisterState&) const = default;
};

// One decoded instruction.
struct X86Instruction {
  bool valid = false;                   // a complete, allowed instruction
  uint16_t opcode = 0;                  // first opcode byte, or 0x0F00 + second byte
  uint8_t modrm = 0;                    // the ModR/M byte, when present
  bool is_call = false;                 // a call with a target other than the next instruction
  bool is_jump = false;                 // a jump (conditional or not) with such a target
  bool target_relative = false;         // the target is given relative to the next instruction
  uint32_t target = 0;                  // call or jump target, 0 when unknown
  uint32_t target_pointer = 0;          // address of the dword that holds the target
  uint32_t target_pointer_pointer = 0;  // address of the dword that holds target_pointer
  int target_size = 0;                  // 1, 4 or 6 bytes (short, near, far)
  bool far = false;                     // far call or jump (selector and offset)
  uint32_t address = 0;                 // address of this instruction
  uint32_t next = 0;                    // address of the next instruction

  // Decoding details, used by the text formatter and the function parser.
  uint16_t flags = 0;      // flag word of the opcode (or its group entry)
  uint8_t mnemonic = 0;    // index into the mnemonic list
  uint8_t length = 0;      // bytes consumed (for an invalid instruction: up to the fault)
  bool operand16 = false;  // 0x66 prefix
  bool address16 = false;  // 0x67 prefix
  bool lock = false;       // 0xF0 prefix
  bool repne = false;      // 0xF2 prefix
  bool rep = false;        // 0xF3 prefix
  int8_t segment = -1;     // segment override 0-5 (es cs ss ds fs gs), -1 none
  bool has_modrm = false;  // a ModR/M byte follows the opcode
  uint8_t mod = 0;         // ModR/M mod field
  uint8_t reg = 0;         // ModR/M reg field
  uint8_t rm = 0;          // ModR/M r/m field
  int8_t base = -1;        // base register of the memory operand, -1 none
  int8_t index = -1;       // index register of the memory operand, -1 none
  uint8_t scale = 1;       // 1, 2, 4 or 8
  uint8_t disp_size = 0;   // 0, 1, 2 or 4 bytes of displacement
  int32_t disp = 0;        // sign-extended displacement (moffs offset for 0xA0-0xA3)
  uint8_t imm_size = 0;    // 0, 1, 2, 4 (or 6 for far pointers, 3 for enter)
  uint32_t imm = 0;        // immediate (offset of a far pointer, size of enter)
  uint16_t imm2 = 0;       // selector of a far pointer, level of enter
  uint8_t suffix = 0;      // 3DNow! suffix byte
};

// Decodes the instruction at address from bytes[0..available). memory (optional) serves
// reads of call targets through memory; regs (optional) is used and updated. Returns
// out.length (at least 1), so that a linear sweep need not read it back from the record.
size_t DecodeInstruction(const uint8_t* bytes, size_t available, uint32_t address,
                         X86Instruction& out, RegisterState* regs = nullptr,
                         const AddressSpace* memory = nullptr);

// Decodes the instruction at address read through memory; returns out.valid.
bool DecodeInstruction(const AddressSpace& memory, uint32_t address, X86Instruction& out,
                       RegisterState* regs = nullptr);

// The target written in the instruction (relative branches, far direct calls and jumps),
// even where the record leaves it out (a call to the next instruction); false for others.
bool DirectTarget(const X86Instruction& in, uint32_t& target);

// True when the memory operand is an absolute address without registers.
inline bool IsAbsoluteMemory(const X86Instruction& in) {
  return in.has_modrm && in.mod != 3 && in.base < 0 && in.index < 0;
}

}  // namespace trace
