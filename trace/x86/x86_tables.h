// The fixed data of the x86 decoder: opcode flags, mnemonic indexes, the group table,
// the mnemonic list and the 3DNow! suffix list.
//
// Flag word of an opcode (16 bits; 0xFFFF marks an invalid opcode):
//   bits 0-2   register operand kind (see RegisterKind)
//   bits 3-5   ModR/M kind: 0 none, 0x08 group table, 0x10 r/m8, 0x18 r/m16, 0x20 r/m16/32,
//              0x28 mm/m64, 0x30 xmm/m128, 0x38 xmm/scalar (forced by rep/repne)
//   bits 6-7   size class of the r/m operand
//   bit 8      the reg field selects a group member; the memory size is printed
//   bit 9      the r/m operand is the destination (operands are printed swapped)
//   bits 10-11 immediate: 0x400 one byte, 0x800 two bytes, 0xC00 operand size
//   bit 12     the immediate is a relative branch target
//   bits 13-15 registers the instruction changes (see ChangeKind)
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace trace::x86 {

inline constexpr uint16_t kInvalid = 0xFFFF;      // flag word of an invalid opcode
inline constexpr uint16_t kRegMask = 0x0007;      // register operand kind
inline constexpr uint16_t kModRmMask = 0x0038;    // ModR/M kind
inline constexpr uint16_t kModRmGroup = 0x0008;   // flags come from the group table
inline constexpr uint16_t kModRm8 = 0x0010;       // r/m8
inline constexpr uint16_t kModRm16 = 0x0018;      // r/m16
inline constexpr uint16_t kModRmV = 0x0020;       // r/m16/32
inline constexpr uint16_t kModRmMmx = 0x0028;     // mm/m64 (xmm/m128 with a prefix)
inline constexpr uint16_t kModRmXmm = 0x0030;     // xmm/m128
inline constexpr uint16_t kModRmScalar = 0x0038;  // xmm/m32 or m64
inline constexpr uint16_t kSizeMask = 0x00C0;     // size class of the r/m operand
inline constexpr uint16_t kGroupMember = 0x0100;  // reg field selects a member
inline constexpr uint16_t kDirection = 0x0200;    // r/m operand first
inline constexpr uint16_t kImmMask = 0x0C00;      // immediate size
inline constexpr uint16_t kImm8 = 0x0400;         // one-byte immediate
inline constexpr uint16_t kImm16 = 0x0800;        // two-byte immediate
inline constexpr uint16_t kImmV = 0x0C00;         // operand-size immediate
inline constexpr uint16_t kRelative = 0x1000;     // the immediate is a relative target
inline constexpr uint16_t kChangeMask = 0xE000;   // changed registers

// Changed-register classes of bits 13-15.
enum ChangeKind : uint16_t {
  kChangesNothing = 0x0000,
  kChangesReg = 0x2000,        // the reg field's register
  kChangesRm = 0x4000,         // the r/m register (mod 3)
  kChangesOpcodeReg = 0x6000,  // the register in the opcode's low 3 bits
  kChangesEax = 0x8000,        // eax
  kChangesEaxEdx = 0xA000,     // eax and edx
  kChangesAll = 0xC000,        // every general register
  kChangesString = 0xE000,     // eax, ecx, esi and edi (string instructions)
};

// One row of the group table: the opcode, then 8 flag words for memory operands by the
// reg field and 8 for register operands (mod 3).
struct GroupRow {
  uint8_t opcode;                  // 0xF6, 0xF7 or 0xD8-0xDF
  std::array<uint16_t, 16> flags;  // [reg] memory forms, [8 + reg] register forms
};

// Number of names in the mnemonic list (1-based indexes 1..kMnemonicCount).
inline constexpr int kMnemonicCount = 237;

// Flag words of the one-byte opcodes.
extern const std::array<uint16_t, 256> kOneByteFlags;
// Flag words of the two-byte opcodes 0x0F xx.
extern const std::array<uint16_t, 256> kTwoByteFlags;
// Mnemonic indexes of the one-byte opcodes (0 for prefixes and the escape).
extern const std::array<uint8_t, 256> kOneByteMnemonic;
// Mnemonic indexes of the two-byte opcodes (0 for invalid ones).
extern const std::array<uint8_t, 256> kTwoByteMnemonic;
// The group table: 0xF6, 0xF7, 0xD8-0xDF.
extern const std::array<GroupRow, 10> kGroupTable;
// The NUL-separated mnemonic list, 1-based, kMnemonicCount names.
extern const std::string_view kMnemonicList;
// The 3DNow! suffix list: per entry a zero byte, the suffix byte and the NUL-ended name.
extern const std::string_view k3DNowSuffixes;

// Name number index (1-based) of the mnemonic list; empty when out of range.
std::string_view MnemonicName(int index);
// Group-table flags of opcode for reg field and register form; kInvalid for other opcodes.
uint16_t GroupFlags(uint8_t opcode, int reg, bool register_form);
// The 3DNow! name for a suffix byte; empty when the suffix is unknown.
std::string_view ThreeDNowName(uint8_t suffix);

}  // namespace trace::x86
