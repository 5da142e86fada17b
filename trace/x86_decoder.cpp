#include "trace/x86_decoder.h"

#include <cstring>
#include <string_view>
#include <type_traits>

#include "trace/x86_mnemonic.h"
#include "trace/x86_tables.h"

namespace trace {
namespace {

using namespace x86;

constexpr int kMaxLength = 15;  // longest instruction the processor accepts

enum Register { kEax, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi };

// Reads little-endian values from the instruction bytes with a bound check.
struct Cursor {
  Cursor(const uint8_t* b, size_t available)
      : bytes(b), limit(available < kMaxLength ? available : kMaxLength) {}

  const uint8_t* bytes;
  size_t limit;  // bytes that may be read: what is there, at most one instruction's worth
  size_t at = 0;

  bool Has(size_t count) const { return at + count <= limit; }
  uint8_t Byte() { return bytes[at++]; }
  uint32_t Value(size_t count) {
    const uint8_t* p = bytes + at;
    at += count;
    switch (count) {
      case 1:
        return p[0];
      case 2:
        return p[0] | static_cast<uint32_t>(p[1]) << 8;
      case 4:
        return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
               static_cast<uint32_t>(p[3]) << 24;
      default:
        return 0;
    }
  }
};

int32_t SignExtend(uint32_t value, size_t size) {
  if (size == 1) return static_cast<int8_t>(value);
  if (size == 2) return static_cast<int16_t>(value);
  return static_cast<int32_t>(value);
}

// Memory operands of these opcodes name an address only; a register operand is invalid.
bool MemoryOnly(uint16_t opcode, uint8_t reg) {
  switch (opcode) {
    case 0x62:    // bound
    case 0x8D:    // lea
    case 0xC4:    // les
    case 0xC5:    // lds
    case 0x0F0D:  // prefetch
    case 0x0F13:  // movlps/movlpd m64, xmm
    case 0x0F17:  // movhps/movhpd m64, xmm
    case 0x0F18:  // prefetch hints
    case 0x0F2B:  // movntps/movntpd
    case 0x0FB2:  // lss
    case 0x0FB4:  // lfs
    case 0x0FB5:  // lgs
    case 0x0FC3:  // movnti
    case 0x0FE7:  // movntq/movntdq
    case 0x0FF0:  // lddqu
      return true;
    case 0xFF:  // far call and jump through memory
      return reg == 3 || reg == 5;
    default:
      return false;
  }
}

// These take a register as their r/m operand only.
bool RegisterOnly(uint16_t opcode) {
  switch (opcode) {
    case 0x0F50:  // movmskps
    case 0x0F71:
    case 0x0F72:
    case 0x0F73:  // shifts by immediate
    case 0x0FC5:  // pextrw
    case 0x0FD7:  // pmovmskb
    case 0x0FF7:  // maskmovq
      return true;
    default:
      return false;
  }
}

// Opcodes whose ModR/M form needs a closer look, so that the common ones skip it.
constexpr uint8_t kCheckForm = 1;  // memory-only, register-only or reg-field limits
constexpr uint8_t kCheckName = 2;  // the mnemonic entry chooses by prefix, form or member

struct FormChecks {
  std::array<uint8_t, 512> bits{};

  FormChecks() {
    for (int i = 0; i < 512; ++i) {
      const uint16_t opcode = static_cast<uint16_t>(i < 256 ? i : 0x0F00 + (i - 256));
      const int index = i < 256 ? kOneByteMnemonic[i] : kTwoByteMnemonic[i - 256];
      const std::string_view name = MnemonicName(index);
      if (name.find_first_of("/:|-") != std::string_view::npos) bits[i] |= kCheckName;
      bool form = RegisterOnly(opcode) || opcode == 0x8F || opcode == 0xC6 || opcode == 0xC7 ||
                  opcode == 0xFE;
      for (uint8_t reg = 0; reg < 8 && !form; ++reg)
        form = MemoryOnly(opcode, reg);
      if (form) bits[i] |= kCheckForm;
    }
  }
};

const FormChecks kChecks;

// Opcodes (one-byte, then 0x0F xx) whose operands after the ModR/M byte are not a plain
// immediate: far pointers, enter, moffs and the 3DNow! suffix.
constexpr std::array<bool, 512> kSpecialOperand = [] {
  std::array<bool, 512> special{};
  for (int op : {0x9A, 0xEA, 0xC8, 0xA0, 0xA1, 0xA2, 0xA3, 0x100 + 0x0F})
    special[op] = true;
  return special;
}();

void Invalidate(X86Instruction& out, size_t length) {
  out.valid = false;
  out.length = static_cast<uint8_t>(length == 0 ? 1 : length);
  out.next = out.address + out.length;
  out.is_call = out.is_jump = out.target_relative = out.far = false;
  out.target = out.target_pointer = out.target_pointer_pointer = 0;
  out.target_size = 0;
}

// Clears the registers written by an instruction and records the values it sets.
void Track(const X86Instruction& in, RegisterState& regs, const AddressSpace* memory) {
  auto clear = [&regs](int r) {
    regs.value[r & 7] = 0;
    regs.source[r & 7] = 0;
  };
  auto set = [&regs](int r, uint32_t value, uint32_t source) {
    regs.value[r & 7] = value;
    regs.source[r & 7] = value ? source : 0;
  };
  const bool reg_mode = in.has_modrm && in.mod == 3;
  const uint16_t op = in.opcode;
  const bool full = !in.operand16;

  // Values that become known.
  if (op >= 0xB8 && op <= 0xBF) {
    if (full) return set(op & 7, in.imm, 0);
  } else if (op == 0xC7 && reg_mode) {
    if (full) return set(in.rm, in.imm, 0);
  } else if (op == 0x8B && reg_mode) {
    if (full) return set(in.reg, regs.value[in.rm], regs.source[in.rm]);
  } else if (op == 0x89 && reg_mode) {
    if (full) return set(in.rm, regs.value[in.reg], regs.source[in.reg]);
  } else if (op == 0x8B && IsAbsoluteMemory(in) && full && in.segment < 0) {
    const uint32_t address = static_cast<uint32_t>(in.disp);
    std::optional<uint32_t> value;
    if (memory) value = memory->ReadDword(address);
    return set(in.reg, value.value_or(0), address);
  }

  // A byte register names the low or high byte of eax..ebx.
  const bool byte_reg = (in.flags & kRegMask) == 1 || (op >= 0xB0 && op <= 0xB7);
  const bool byte_rm = (in.flags & kModRmMask) == kModRm8;
  switch (in.flags & kChangeMask) {
    case kChangesReg:
      clear(byte_reg ? in.reg & 3 : in.reg);
      break;
    case kChangesRm:
      if (reg_mode) clear(byte_rm ? in.rm & 3 : in.rm);
      break;
    case kChangesOpcodeReg:
      clear(byte_reg ? op & 3 : op & 7);
      break;
    case kChangesEax:
      clear(kEax);
      break;
    case kChangesEaxEdx:
      clear(kEax);
      clear(kEdx);
      break;
    case kChangesAll:
      regs = RegisterState{};
      break;
    case kChangesString:
      clear(kEax);
      clear(kEcx);
      clear(kEsi);
      clear(kEdi);
      break;
    default:
      break;
  }

  // What the flag classes do not say.
  switch (op) {
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
      if (reg_mode && in.reg != 7) clear(op == 0x81 || op == 0x83 ? in.rm : in.rm & 3);
      break;
    case 0x86:
    case 0x87:
    case 0x0FC0:
    case 0x0FC1:  // xchg, xadd
      clear(op & 1 ? in.reg : in.reg & 3);
      if (reg_mode) clear(op & 1 ? in.rm : in.rm & 3);
      break;
    case 0x0FB0:
    case 0x0FB1:  // cmpxchg
      clear(kEax);
      if (reg_mode) clear(op & 1 ? in.rm : in.rm & 3);
      break;
    case 0x91:
    case 0x92:
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x96:
    case 0x97:
      clear(kEax);
      clear(op & 7);
      break;
    case 0x60:
    case 0xC8:
    case 0xC9:  // pusha, enter, leave
      clear(kEsp);
      clear(kEbp);
      break;
    case 0xE0:
    case 0xE1:
    case 0xE2:  // loops count in ecx
      clear(kEcx);
      break;
    case 0xE8:
    case 0x9A:  // the callee may change the scratch registers
      clear(kEax);
      clear(kEcx);
      clear(kEdx);
      break;
    case 0xFF:
      if (in.reg == 2 || in.reg == 3) {
        clear(kEax);
        clear(kEcx);
        clear(kEdx);
      }
      break;
    case 0x0F20:
    case 0x0F21:
    case 0x0F7E:  // results in the r/m register
      if (reg_mode) clear(in.rm);
      break;
    case 0x0F2C:
    case 0x0F2D:  // cvt..2si write a general register
      clear(in.reg);
      break;
    default:
      break;
  }
}

}  // namespace

void DecodeInstruction(const uint8_t* bytes, size_t available, uint32_t address,
                       X86Instruction& out, RegisterState* regs, const AddressSpace* memory) {
  // Cleared in place: assigning a temporary costs a store-forwarding stall per instruction.
  static_assert(std::is_trivially_copyable_v<X86Instruction>);
  std::memset(static_cast<void*>(&out), 0, sizeof(out));
  out.segment = -1;
  out.base = -1;
  out.index = -1;
  out.scale = 1;
  out.address = address;
  Cursor c(bytes, available);

  // Prefixes.
  static constexpr std::array<bool, 256> kPrefix = [] {
    std::array<bool, 256> prefix{};
    for (uint8_t b : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3})
      prefix[b] = true;
    return prefix;
  }();
  if (!c.Has(1)) return Invalidate(out, c.at);
  uint8_t op = c.Byte();
  while (kPrefix[op]) {
    switch (op) {
      case 0x66:
        out.operand16 = true;
        break;
      case 0x67:
        out.address16 = true;
        break;
      case 0xF0:
        out.lock = true;
        break;
      case 0xF2:
        out.repne = true;
        out.rep = false;
        break;
      case 0xF3:
        out.rep = true;
        out.repne = false;
        break;
      case 0x26:
      case 0x2E:
      case 0x36:
      case 0x3E:
        out.segment = static_cast<int8_t>((op >> 3) & 3);
        break;
      default:  // 0x64, 0x65
        out.segment = static_cast<int8_t>(op - 0x60);
        break;
    }
    if (!c.Has(1)) return Invalidate(out, c.at);
    op = c.Byte();
  }

  // Opcode.
  uint16_t flags;
  if (op == 0x0F) {
    if (!c.Has(1)) return Invalidate(out, c.at);
    const uint8_t second = c.Byte();
    out.opcode = static_cast<uint16_t>(0x0F00 + second);
    flags = kTwoByteFlags[second];
    out.mnemonic = kTwoByteMnemonic[second];
  } else {
    out.opcode = op;
    flags = kOneByteFlags[op];
    out.mnemonic = kOneByteMnemonic[op];
  }
  if (flags == kInvalid) return Invalidate(out, c.at);

  // ModR/M, SIB and displacement.
  if ((flags & kModRmMask) != 0) {
    if (!c.Has(1)) return Invalidate(out, c.at);
    out.has_modrm = true;
    out.modrm = c.Byte();
    out.mod = out.modrm >> 6;
    out.reg = (out.modrm >> 3) & 7;
    out.rm = out.modrm & 7;
    // Moves to and from control and debug registers always name a register.
    if (out.opcode >= 0x0F20 && out.opcode <= 0x0F23) out.mod = 3;
    if (out.mod != 3) {
      size_t disp_size = 0;
      if (out.address16) {
        static constexpr int8_t kBase16[8] = {kEbx, kEbx, kEbp, kEbp, kEsi, kEdi, kEbp, kEbx};
        static constexpr int8_t kIndex16[8] = {kEsi, kEdi, kEsi, kEdi, -1, -1, -1, -1};
        if (out.mod == 0 && out.rm == 6) {
          disp_size = 2;
        } else {
          out.base = kBase16[out.rm];
          out.index = kIndex16[out.rm];
          disp_size = out.mod == 1 ? 1 : out.mod == 2 ? 2 : 0;
        }
      } else {
        if (out.rm == 4) {
          if (!c.Has(1)) return Invalidate(out, c.at);
          const uint8_t sib = c.Byte();
          out.scale = static_cast<uint8_t>(1 << (sib >> 6));
          const int index = (sib >> 3) & 7;
          out.index = static_cast<int8_t>(index == 4 ? -1 : index);
          out.base = static_cast<int8_t>(sib & 7);
          if ((sib & 7) == 5 && out.mod == 0) {
            out.base = -1;
            disp_size = 4;
          }
        } else if (out.rm == 5 && out.mod == 0) {
          disp_size = 4;
        } else {
          out.base = static_cast<int8_t>(out.rm);
        }
        if (out.mod == 1) disp_size = 1;
        if (out.mod == 2) disp_size = 4;
      }
      if (!c.Has(disp_size)) return Invalidate(out, c.at);
      out.disp_size = static_cast<uint8_t>(disp_size);
      out.disp = SignExtend(c.Value(disp_size), disp_size);
      if (disp_size == 2 && out.base < 0) out.disp &= 0xFFFF;  // absolute disp16
    }
    if ((flags & kModRmMask) == kModRmGroup) {
      flags = GroupFlags(op, out.reg, out.mod == 3);
      if (flags == kInvalid) return Invalidate(out, c.at);
    }
    const uint8_t checks = kChecks.bits[out.opcode >= 0x100 ? 256 + (out.opcode & 0xFF) : op];
    if (checks != 0) {
      if (out.mod != 3 ? RegisterOnly(out.opcode) : MemoryOnly(out.opcode, out.reg)) {
        return Invalidate(out, c.at);
      }
      if ((op == 0x8F || op == 0xC6 || op == 0xC7) && out.opcode == op && out.reg != 0) {
        return Invalidate(out, c.at);
      }
      if (out.opcode == 0xFE && out.reg > 1) return Invalidate(out, c.at);
      if ((checks & kCheckName) && !MnemonicFormAllowed(out)) return Invalidate(out, c.at);
    }
  } else if (out.mnemonic == 0 && out.opcode != 0x0F0F) {
    return Invalidate(out, c.at);
  }
  out.flags = flags;

  // Immediates.
  size_t imm_size = 0;
  switch (flags & kImmMask) {
    case kImm8:
      imm_size = 1;
      break;
    case kImm16:
      imm_size = 2;
      break;
    case kImmV:
      imm_size = out.operand16 ? 2 : 4;
      break;
    default:
      break;
  }
  if (!kSpecialOperand[out.opcode >= 0x100 ? 256 + (out.opcode & 0xFF) : op]) {
    if (imm_size != 0) {
      if (!c.Has(imm_size)) return Invalidate(out, c.at);
      out.imm = c.Value(imm_size);
      out.imm_size = static_cast<uint8_t>(imm_size);
    }
  } else if (out.opcode == 0x9A || out.opcode == 0xEA) {
    const size_t offset_size = out.operand16 ? 2 : 4;
    if (!c.Has(offset_size + 2)) return Invalidate(out, c.at);
    out.imm = c.Value(offset_size);
    out.imm2 = static_cast<uint16_t>(c.Value(2));
    out.imm_size = static_cast<uint8_t>(offset_size + 2);
  } else if (out.opcode == 0xC8) {
    if (!c.Has(3)) return Invalidate(out, c.at);
    out.imm = c.Value(2);
    out.imm2 = c.Byte();
    out.imm_size = 3;
  } else if (out.opcode >= 0xA0 && out.opcode <= 0xA3) {
    const size_t offset_size = out.address16 ? 2 : 4;
    if (!c.Has(offset_size)) return Invalidate(out, c.at);
    out.disp = static_cast<int32_t>(c.Value(offset_size));
    out.disp_size = static_cast<uint8_t>(offset_size);
  } else if (out.opcode == 0x0F0F) {
    if (!c.Has(1)) return Invalidate(out, c.at);
    out.suffix = c.Byte();
    if (ThreeDNowName(out.suffix).empty()) return Invalidate(out, c.at);
  }

  out.valid = true;
  out.length = static_cast<uint8_t>(c.at);
  out.next = address + static_cast<uint32_t>(c.at);

  // Calls and jumps.
  if (flags & kRelative) {
    const int32_t delta = SignExtend(out.imm, out.imm_size);
    out.target = out.next + static_cast<uint32_t>(delta);
    if (out.operand16 && out.opcode != 0xE8) out.target &= 0xFFFF;
    out.target_relative = true;
    out.target_size = out.imm_size == 1 ? 1 : 4;
    out.is_call = out.opcode == 0xE8;
    out.is_jump = !out.is_call;
  } else if (out.opcode == 0x9A || out.opcode == 0xEA) {
    out.is_call = out.opcode == 0x9A;
    out.is_jump = !out.is_call;
    out.far = true;
    out.target = out.imm;
    out.target_size = 6;
  } else if (out.opcode == 0xFF && out.reg >= 2 && out.reg <= 5) {
    out.is_call = out.reg <= 3;
    out.is_jump = !out.is_call;
    out.far = out.reg == 3 || out.reg == 5;
    out.target_size = out.far ? 6 : 4;
    if (out.mod == 3) {
      if (regs && !out.operand16) {
        out.target = regs->value[out.rm];
        out.target_pointer = out.target ? regs->source[out.rm] : 0;
      }
    } else if (!out.address16) {
      uint32_t pointer = 0;
      uint32_t pointer_pointer = 0;
      if (IsAbsoluteMemory(out)) {
        pointer = static_cast<uint32_t>(out.disp);
      } else if (regs && out.index < 0 && out.base >= 0 && regs->value[out.base] != 0) {
        pointer = regs->value[out.base] + static_cast<uint32_t>(out.disp);
        if (out.disp == 0) pointer_pointer = regs->source[out.base];
      }
      if (pointer != 0) {
        out.target_pointer = pointer;
        out.target_pointer_pointer = pointer_pointer;
        if (memory && !out.far && out.segment < 0)
          out.target = memory->ReadDword(pointer).value_or(0);
      }
    }
  }
  if ((out.is_call || out.is_jump) && out.target == out.next && !out.far) {
    out.is_call = out.is_jump = out.target_relative = false;
    out.target = out.target_pointer = out.target_pointer_pointer = 0;
    out.target_size = 0;
  }

  if (regs) Track(out, *regs, memory);
}

bool DirectTarget(const X86Instruction& in, uint32_t& target) {
  if (!in.valid) return false;
  if (in.flags & kRelative) {
    target = in.next + static_cast<uint32_t>(SignExtend(in.imm, in.imm_size));
    if (in.operand16 && in.opcode != 0xE8) target &= 0xFFFF;
    return true;
  }
  if (in.opcode == 0x9A || in.opcode == 0xEA) {
    target = in.imm;
    return true;
  }
  return false;
}

bool DecodeInstruction(const AddressSpace& memory, uint32_t address, X86Instruction& out,
                       RegisterState* regs) {
  uint8_t bytes[16];
  size_t available = sizeof(bytes);
  if (!memory.Read(address, bytes, sizeof(bytes))) {
    // Near the end of readable memory: take what can be read.
    available = 0;
    while (available < sizeof(bytes) &&
           memory.Read(address + static_cast<uint32_t>(available), bytes + available, 1)) {
      ++available;
    }
  }
  DecodeInstruction(bytes, available, address, out, regs, &memory);
  return out.valid;
}

}  // namespace trace
