#include "trace/x86/x86_decoder.h"

#include <cstring>
#include <string_view>
#include <type_traits>

#include "trace/x86/x86_mnemonic.h"
#include "trace/x86/x86_tables.h"

namespace trace {
namespace {

using namespace x86;

constexpr int kMaxLength = 15;  // longest instruction the processor accepts

enum Register { kEax, kEcx, kEdx, kEbx, kEsp, kEbp, kEsi, kEdi };

// How the decoder makes sure that the bytes it uses belong to the instruction.
enum class Bounds {
  kChecked,   // before every read, as far as the instruction's bytes go
  kDeferred,  // once, at the end: the bytes behind hold a whole window (see kWindow)
};

// Bytes a deferred decoding may look at: 15 bytes of prefixes, then at most 12 bytes of
// opcode, ModR/M, SIB, displacement and immediate, and a fixed four-byte read behind them.
constexpr size_t kWindow = 32;

// Reads little-endian values from the instruction bytes. The bytes hold kWindow readable
// bytes, so that values are read with one fixed-size load and masked.
template <Bounds kBounds>
struct Cursor {
  Cursor(const uint8_t* b, size_t available)
      : bytes(b), limit(available < kMaxLength ? available : kMaxLength) {}

  const uint8_t* bytes;
  size_t limit;  // bytes that may be used: what is there, at most one instruction's worth
  size_t at = 0;

  // True when count more bytes may be used (always, when the check is deferred).
  bool Has(size_t count) const { return kBounds == Bounds::kDeferred || at + count <= limit; }
  // True when the bytes used so far belong to the instruction.
  bool Fits() const { return at <= limit; }
  uint8_t Byte() { return bytes[at++]; }
  // The next count (0, 1, 2 or 4) bytes, zero-extended.
  uint32_t Value(size_t count) {
    static constexpr uint32_t kMask[5] = {0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF};
    const uint32_t value = Load32() & kMask[count];
    at += count;
    return value;
  }
  // The next count (0, 1, 2 or 4) bytes, sign-extended.
  int32_t Signed(size_t count) {
    static constexpr uint32_t kSign[5] = {0, 0x80, 0x8000, 0x800000, 0x80000000};
    const uint32_t sign = kSign[count];
    return static_cast<int32_t>((Value(count) ^ sign) - sign);
  }

 private:
  uint32_t Load32() const {
    const uint8_t* p = bytes + at;
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
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

// What the decoder needs to know of one opcode (one-byte, then 0x0F xx), worked out once
// from the tables so that decoding looks it up instead of testing the opcode.
struct OpcodeInfo {
  uint16_t flags = kInvalid;  // flag word (group opcodes: replaced by the group entry)
  uint8_t mnemonic = 0;       // mnemonic index
  uint8_t bits = 0;           // kHasModRm and the other bits below
  // By memory and register form, a bit per reg field: the form is allowed at all, and
  // whether its mnemonic entry must be asked (it chooses by prefix or r/m field).
  uint8_t reg_allowed[2] = {0xFF, 0xFF};
  uint8_t ask_name[2] = {0, 0};
  uint8_t imm[2] = {0, 0};  // plain immediate bytes without and with the 0x66 prefix
};

constexpr uint8_t kHasModRm = 0x01;     // a ModR/M byte follows
constexpr uint8_t kSpecial = 0x02;      // far pointer, enter, moffs or 3DNow! suffix operand
constexpr uint8_t kMayBranch = 0x04;    // relative branch, far direct or 0xFF call/jump
constexpr uint8_t kNoName = 0x08;       // without ModR/M and without a name: invalid
constexpr uint8_t kRegisterMod = 0x10;  // mov to or from control/debug registers: mod is 3

// Plain immediate bytes by the immediate bits of a flag word, without and with 0x66.
constexpr uint8_t kImmBytes[4][2] = {{0, 0}, {1, 1}, {2, 2}, {4, 2}};

struct OpcodeInfoTable {
  std::array<OpcodeInfo, 512> rows;

  OpcodeInfoTable() {
    for (int i = 0; i < 512; ++i) {
      const bool two_byte = i >= 256;
      const uint8_t low = static_cast<uint8_t>(i & 0xFF);
      const uint16_t opcode = static_cast<uint16_t>(two_byte ? 0x0F00 + low : low);
      OpcodeInfo& row = rows[i];
      row.flags = two_byte ? kTwoByteFlags[low] : kOneByteFlags[low];
      row.mnemonic = two_byte ? kTwoByteMnemonic[low] : kOneByteMnemonic[low];
      if ((row.flags & kModRmMask) != 0) row.bits |= kHasModRm;
      if (row.mnemonic == 0 && opcode != 0x0F0F) row.bits |= kNoName;
      if (opcode >= 0x0F20 && opcode <= 0x0F23) row.bits |= kRegisterMod;
      if (!(row.bits & kSpecial) && row.flags != kInvalid) {
        row.imm[0] = kImmBytes[(row.flags & kImmMask) >> 10][0];
        row.imm[1] = kImmBytes[(row.flags & kImmMask) >> 10][1];
      }
      for (int special : {0x9A, 0xEA, 0xC8, 0xA0, 0xA1, 0xA2, 0xA3, 0x0F0F})
        if (opcode == special) row.bits |= kSpecial;
      if ((row.flags & kRelative) || opcode == 0x9A || opcode == 0xEA || opcode == 0xFF)
        row.bits |= kMayBranch;
      if (!(row.bits & kHasModRm)) continue;
      // One-byte opcodes print rep prefixes as text: their variant is 0 or 1.
      const int variants = two_byte ? 4 : 2;
      for (int reg = 0; reg < 8; ++reg) {
        const uint8_t bit = static_cast<uint8_t>(1 << reg);
        bool allowed[2] = {!RegisterOnly(opcode), !MemoryOnly(opcode, static_cast<uint8_t>(reg))};
        if ((opcode == 0x8F || opcode == 0xC6 || opcode == 0xC7) && reg != 0)
          allowed[0] = allowed[1] = false;
        if (opcode == 0xFE && reg > 1) allowed[0] = allowed[1] = false;
        for (int form = 0; form < 2; ++form) {
          bool any = false, all = true;
          for (int variant = 0; variant < variants; ++variant) {
            const uint8_t rm = AllowedRmValues(two_byte, low, variant, form == 1, reg);
            any = any || rm != 0;
            all = all && rm == 0xFF;
          }
          if (!allowed[form] || !any) row.reg_allowed[form] &= static_cast<uint8_t>(~bit);
          if (any && !all) row.ask_name[form] |= bit;
        }
      }
    }
  }
};

// Built on first use: the mnemonic forms it reads from take a moment to work out.
const OpcodeInfoTable& OpcodeInfos() {
  static const OpcodeInfoTable table;
  return table;
}

// The memory operand of a ModR/M or SIB byte with 32-bit addressing, packed in a dword: base
// register (byte 0, -1 none), index register (byte 1, -1 none), scale (byte 2),
// displacement bytes (bits 24-30) and, in bit 31, "a SIB byte follows".
constexpr uint32_t kSibFollows = 0x80000000;

constexpr uint32_t PackMemory(int base, int index, int scale, int disp_size) {
  return static_cast<uint8_t>(base) | static_cast<uint32_t>(static_cast<uint8_t>(index)) << 8 |
         static_cast<uint32_t>(scale) << 16 | static_cast<uint32_t>(disp_size) << 24;
}

// By ModR/M byte; register forms (mod 3) have no base, index or displacement.
constexpr std::array<uint32_t, 256> kModRmMemory = [] {
  std::array<uint32_t, 256> rows{};
  for (int modrm = 0; modrm < 256; ++modrm) {
    const int mod = modrm >> 6;
    const int rm = modrm & 7;
    const int disp = mod == 1 ? 1 : mod == 2 ? 4 : 0;
    if (mod == 3) {
      rows[modrm] = PackMemory(-1, -1, 1, 0);
    } else if (rm == 4) {
      rows[modrm] = PackMemory(-1, -1, 1, disp) | kSibFollows;
    } else if (rm == 5 && mod == 0) {
      rows[modrm] = PackMemory(-1, -1, 1, 4);
    } else {
      rows[modrm] = PackMemory(rm, -1, 1, disp);
    }
  }
  return rows;
}();

// By mod field being 0, then SIB byte: base 5 with mod 0 means no base (and a disp32, which
// the decoder adds itself).
constexpr std::array<uint32_t, 512> kSibMemory = [] {
  std::array<uint32_t, 512> rows{};
  for (int mod0 = 0; mod0 < 2; ++mod0) {
    for (int sib = 0; sib < 256; ++sib) {
      const int index = (sib >> 3) & 7;
      const int base = sib & 7;
      const bool no_base = base == 5 && mod0;
      rows[mod0 * 256 + sib] = PackMemory(no_base ? -1 : base, index == 4 ? -1 : index,
                                          1 << (sib >> 6), no_base ? 4 : 0);
    }
  }
  return rows;
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

// Calls and jumps: the target, where it can be known, and the kind of transfer.
void ClassifyBranch(X86Instruction& out, const RegisterState* regs, const AddressSpace* memory) {
  if (out.flags & kRelative) {
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
}

// Ends decoding with an invalid instruction of the bytes used so far and returns its length;
// 0 when a deferred bounds check finds bytes used that are not the instruction's.
template <Bounds kBounds>
size_t Reject(X86Instruction& out, const Cursor<kBounds>& c) {
  if (!c.Fits()) return 0;
  Invalidate(out, c.at);
  return c.at == 0 ? 1 : c.at;
}

// Decodes from bytes that hold kWindow readable bytes, of which available are the
// instruction's; returns the length. 0 when a deferred bounds check fails (then nothing else
// is changed).
template <Bounds kBounds>
[[gnu::always_inline]] inline size_t Decode(const uint8_t* bytes, size_t available,
                                            uint32_t address, X86Instruction& out,
                                            RegisterState* regs, const AddressSpace* memory) {
  // Cleared in place: assigning a temporary costs a store-forwarding stall per instruction.
  static_assert(std::is_trivially_copyable_v<X86Instruction>);
  std::memset(static_cast<void*>(&out), 0, sizeof(out));
  out.segment = -1;
  out.base = -1;
  out.index = -1;
  out.scale = 1;
  out.address = address;
  Cursor<kBounds> c(bytes, available);

  // Prefixes.
  static constexpr std::array<bool, 256> kPrefix = [] {
    std::array<bool, 256> prefix{};
    for (uint8_t b : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3})
      prefix[b] = true;
    return prefix;
  }();
  // Prefix bytes are counted against the limit as they come, whatever the bounds mode.
  if (c.at + 1 > c.limit) return Reject(out, c);
  uint8_t op = c.Byte();
  // Prefix state read again below is kept in locals as well as in the record.
  bool operand16 = false;
  bool address16 = false;
  while (kPrefix[op]) {
    switch (op) {
      case 0x66:
        out.operand16 = operand16 = true;
        break;
      case 0x67:
        out.address16 = address16 = true;
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
    if (c.at + 1 > c.limit) return Reject(out, c);
    op = c.Byte();
  }

  // Opcode.
  const OpcodeInfoTable& infos = OpcodeInfos();
  const OpcodeInfo* info;
  uint16_t opcode = op;
  if (op == 0x0F) {
    if (!c.Has(1)) return Reject(out, c);
    const uint8_t second = c.Byte();
    opcode = static_cast<uint16_t>(0x0F00 + second);
    info = &infos.rows[256 + second];
  } else {
    info = &infos.rows[op];
  }
  out.opcode = opcode;
  const uint8_t bits = info->bits;
  size_t imm_size = info->imm[operand16];
  out.mnemonic = info->mnemonic;
  uint16_t flags = info->flags;
  if (flags == kInvalid) return Reject(out, c);

  // ModR/M, SIB and displacement.
  if (bits & kHasModRm) {
    if (!c.Has(1)) return Reject(out, c);
    const uint8_t modrm = c.Byte();
    out.has_modrm = true;
    out.modrm = modrm;
    // The length follows from table lookups on the bytes, so that the next instruction's
    // start does not wait for the branches. Moves to and from control and debug registers
    // always name a register (mod 3).
    const uint8_t mod = (bits & kRegisterMod) ? 3 : modrm >> 6;
    const uint8_t reg = (modrm >> 3) & 7;
    const uint8_t rm = modrm & 7;
    out.mod = mod;
    out.reg = reg;
    out.rm = rm;
    if (bits & kRegisterMod) {
      // No memory operand.
    } else if (address16 & (mod != 3)) {
      static constexpr int8_t kBase16[8] = {kEbx, kEbx, kEbp, kEbp, kEsi, kEdi, kEbp, kEbx};
      static constexpr int8_t kIndex16[8] = {kEsi, kEdi, kEsi, kEdi, -1, -1, -1, -1};
      size_t disp_size = 0;
      if (mod == 0 && rm == 6) {
        disp_size = 2;
      } else {
        out.base = kBase16[rm];
        out.index = kIndex16[rm];
        disp_size = mod == 1 ? 1 : mod == 2 ? 2 : 0;
      }
      if (!c.Has(disp_size)) return Reject(out, c);
      out.disp_size = static_cast<uint8_t>(disp_size);
      out.disp = c.Signed(disp_size);
      if (disp_size == 2 && out.base < 0) out.disp &= 0xFFFF;  // absolute disp16
    } else {
      // 32-bit addressing by table, without branching on the form: the byte after the
      // ModR/M byte is looked up as a SIB byte (the window holds it) and used when needed.
      // The displacement size comes straight from the bytes, not from the selected form,
      // so that the next instruction's start is known early.
      const uint32_t memory_form = kModRmMemory[modrm];
      const size_t has_sib = memory_form >> 31;
      if (!c.Has(has_sib)) return Reject(out, c);
      const uint8_t sib = c.bytes[c.at];
      const bool mod0 = modrm < 0x40;
      const uint32_t sib_form = kSibMemory[(mod0 ? 256 : 0) + sib];
      const uint32_t form = has_sib ? sib_form | (memory_form & 0x7F000000) : memory_form;
      c.at += has_sib;
      out.base = static_cast<int8_t>(form & 0xFF);
      out.index = static_cast<int8_t>((form >> 8) & 0xFF);
      out.scale = static_cast<uint8_t>(form >> 16);
      const size_t disp_size = (form >> 24) & 0x7F;
      if (!c.Has(disp_size)) return Reject(out, c);
      out.disp_size = static_cast<uint8_t>(disp_size);
      out.disp = c.Signed(disp_size);
    }
    if ((flags & kModRmMask) == kModRmGroup) {
      flags = GroupFlags(op, reg, mod == 3);
      if (flags == kInvalid) return Reject(out, c);
      imm_size = kImmBytes[(flags & kImmMask) >> 10][operand16];
    }
    const int form = mod == 3 ? 1 : 0;
    if (!((info->reg_allowed[form] >> reg) & 1)) return Reject(out, c);
    if (((info->ask_name[form] >> reg) & 1) && !MnemonicFormAllowed(out)) {
      return Reject(out, c);
    }
  } else if (bits & kNoName) {
    return Reject(out, c);
  }
  out.flags = flags;

  // Immediates.
  if (!(bits & kSpecial)) {
    if (!c.Has(imm_size)) return Reject(out, c);
    out.imm = c.Value(imm_size);
    out.imm_size = static_cast<uint8_t>(imm_size);
  } else if (opcode == 0x9A || opcode == 0xEA) {
    const size_t offset_size = operand16 ? 2 : 4;
    if (!c.Has(offset_size + 2)) return Reject(out, c);
    out.imm = c.Value(offset_size);
    out.imm2 = static_cast<uint16_t>(c.Value(2));
    out.imm_size = static_cast<uint8_t>(offset_size + 2);
  } else if (opcode == 0xC8) {
    if (!c.Has(3)) return Reject(out, c);
    out.imm = c.Value(2);
    out.imm2 = c.Byte();
    out.imm_size = 3;
  } else if (opcode >= 0xA0 && opcode <= 0xA3) {
    const size_t offset_size = address16 ? 2 : 4;
    if (!c.Has(offset_size)) return Reject(out, c);
    out.disp = static_cast<int32_t>(c.Value(offset_size));
    out.disp_size = static_cast<uint8_t>(offset_size);
  } else if (opcode == 0x0F0F) {
    if (!c.Has(1)) return Reject(out, c);
    out.suffix = c.Byte();
    if (ThreeDNowName(out.suffix).empty()) return Reject(out, c);
  }

  if (!c.Fits()) return 0;
  // The length goes back to the caller in a register: the start of the next instruction
  // does not wait for the record to be written and read again.
  const size_t length = c.at;
  out.valid = true;
  out.length = static_cast<uint8_t>(length);
  out.next = address + static_cast<uint32_t>(length);

  if (bits & kMayBranch) ClassifyBranch(out, regs, memory);
  if (regs) Track(out, *regs, memory);
  return length;
}

// Decodes with a check before every read, from a padded copy of the bytes.
[[gnu::noinline]] size_t DecodeChecked(const uint8_t* bytes, size_t available, uint32_t address,
                                       X86Instruction& out, RegisterState* regs,
                                       const AddressSpace* memory) {
  uint8_t copy[kWindow] = {};
  if (available != 0) std::memcpy(copy, bytes, available < kWindow ? available : kWindow);
  return Decode<Bounds::kChecked>(copy, available, address, out, regs, memory);
}

}  // namespace

size_t DecodeInstruction(const uint8_t* bytes, size_t available, uint32_t address,
                         X86Instruction& out, RegisterState* regs, const AddressSpace* memory) {
  // Usually the bytes go on far enough to check the length once, at the end; near their end,
  // or for an instruction cut off by its limit, every read is checked.
  if (available >= kWindow) {
    const size_t length = Decode<Bounds::kDeferred>(bytes, available, address, out, regs, memory);
    if (length != 0) return length;
  }
  return DecodeChecked(bytes, available, address, out, regs, memory);
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
