#include "trace/x86/x86_text.h"

#include <array>
#include <bit>
#include <cstring>

#include "trace/x86/x86_mnemonic.h"
#include "trace/x86/x86_names.h"
#include "trace/x86/x86_tables.h"

namespace trace {
namespace {

using namespace x86;

// A register name in four bytes, which a line copies whole: up to three letters, then the
// length.
struct RegName {
  char text[3];
  uint8_t size;
};

constexpr RegName Reg(std::string_view name) {
  RegName reg{};
  for (size_t i = 0; i < name.size(); ++i)
    reg.text[i] = name[i];
  reg.size = static_cast<uint8_t>(name.size());
  return reg;
}

constexpr RegName kRegs8[8] = {Reg("al"), Reg("cl"), Reg("dl"), Reg("bl"),
                               Reg("ah"), Reg("ch"), Reg("dh"), Reg("bh")};
constexpr RegName kRegs16[8] = {Reg("ax"), Reg("cx"), Reg("dx"), Reg("bx"),
                                Reg("sp"), Reg("bp"), Reg("si"), Reg("di")};
constexpr RegName kRegs32[8] = {Reg("eax"), Reg("ecx"), Reg("edx"), Reg("ebx"),
                                Reg("esp"), Reg("ebp"), Reg("esi"), Reg("edi")};
constexpr RegName kSegs[8] = {Reg("es"), Reg("cs"), Reg("ss"), Reg("ds"),
                              Reg("fs"), Reg("gs"), Reg("?"),  Reg("?")};
constexpr char kHex[] = "0123456789abcdef";

constexpr size_t kMnemonicColumn = 19;  // operands start here
constexpr size_t kCommentColumn = 40;   // comments start after this (as kMnemonicColumn)
constexpr size_t kStringLimit = 100;    // characters examined for a string comment

// Copies count (at most 16) bytes with fixed-size moves that stay inside both ranges; the
// moves of the longer sizes overlap.
inline void CopyShort(char* to, const char* from, size_t count) {
  if (count >= 8) {
    uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + count - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + count - 8, &tail, 8);
  } else if (count >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + count - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + count - 4, &tail, 4);
  } else if (count != 0) {
    const char first = from[0], middle = from[count / 2], last = from[count - 1];
    to[0] = first;
    to[count / 2] = middle;
    to[count - 1] = last;
  }
}

// The two lower-case hex digits of each byte value, the high one in the low byte, so that
// a stored pair reads in order.
constexpr std::array<uint16_t, 256> kHexPairs = [] {
  std::array<uint16_t, 256> pairs{};
  for (int i = 0; i < 256; ++i)
    pairs[i] = static_cast<uint16_t>(kHex[i >> 4] | kHex[i & 15] << 8);
  return pairs;
}();

// The eight lower-case hex digits of value in the bytes of a word, the most significant in
// the lowest byte: four pairs looked up.
inline uint64_t HexWord(uint32_t value) {
  return uint64_t{kHexPairs[value >> 24]} | uint64_t{kHexPairs[(value >> 16) & 0xFF]} << 16 |
         uint64_t{kHexPairs[(value >> 8) & 0xFF]} << 32 | uint64_t{kHexPairs[value & 0xFF]} << 48;
}

// The eight hex digits of value, most significant first.
inline void HexDigits(uint32_t value, char* digits) {
  const uint64_t x = HexWord(value);
  for (int i = 0; i < 8; ++i)
    digits[i] = static_cast<char>(x >> (8 * i));
}

// A fixed buffer for one line; what does not fit is cut. The operand writers below are all
// inlined into the line's maker, so that the line's length stays in a register instead of
// going through memory from one small write to the next.
class Line {
 public:
  void Put(char c) {
    if (size_ < sizeof(text_)) text_[size_++] = c;
  }
  [[gnu::always_inline]] void Put(std::string_view s) {
    if (s.size() <= 16 && size_ + 16 <= sizeof(text_)) {
      // Register names, mnemonics and numbers: a few fixed-size moves, no library call.
      CopyShort(text_ + size_, s.data(), s.size());
      size_ += s.size();
      return;
    }
    const size_t count = s.size() < sizeof(text_) - size_ ? s.size() : sizeof(text_) - size_;
    if (count == 0) return;
    std::memcpy(text_ + size_, s.data(), count);
    size_ += count;
  }
  [[gnu::always_inline]] void Put(RegName reg) {
    if (size_ + sizeof(reg) <= sizeof(text_)) {
      std::memcpy(text_ + size_, &reg, sizeof(reg));
      size_ += reg.size;
    } else {
      for (size_t i = 0; i < reg.size && i < sizeof(reg.text); ++i)
        Put(reg.text[i]);
    }
  }
  void Hex8(uint32_t value) {
    char digits[8];
    HexDigits(value, digits);
    Put(std::string_view(digits, 8));
  }
  [[gnu::always_inline]] void Number(int64_t value, bool show_plus) {
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
    if (magnitude <= 0xFFFFFFFF && size_ + 16 <= sizeof(text_)) {
      // Without branches on the value (they are hard to predict): the sign is written and
      // kept or not, "$" likewise, then the digits as one eight-byte word from which the
      // leading zeros are shifted out.
      char* to = text_ + size_;
      to[0] = value < 0 ? '-' : '+';
      const size_t sign = value < 0 || show_plus;
      const uint32_t low = static_cast<uint32_t>(magnitude);
      const size_t dollar = low > 9;
      to[sign] = '$';
      const size_t count = (35 - std::countl_zero(low | 1)) / 4;
      const uint64_t digits = HexWord(low) >> (8 * (8 - count));
      std::memcpy(to + sign + dollar, &digits, 8);
      size_ += sign + dollar + count;
      return;
    }
    if (value < 0) {
      Put('-');
    } else if (show_plus) {
      Put('+');
    }
    if (magnitude <= 9) {
      Put(static_cast<char>('0' + magnitude));
      return;
    }
    // Filled from the end: "$" and the digits then go in one copy.
    char digits[17];
    size_t first = sizeof(digits);
    for (uint64_t rest = magnitude; rest != 0; rest >>= 4)
      digits[--first] = kHex[rest & 15];
    digits[--first] = '$';
    Put(std::string_view(digits + first, sizeof(digits) - first));
  }
  // Room for count more characters, written by the caller and then taken with Commit; null
  // when the line has no such room.
  char* Room(size_t count) { return size_ + count <= sizeof(text_) ? text_ + size_ : nullptr; }
  void Commit(size_t count) { size_ += count; }
  void Truncate(size_t size) {
    if (size < size_) size_ = size;
  }
  void PadTo(size_t column) {
    if (column > sizeof(text_)) column = sizeof(text_);
    if (size_ >= column) return;
    if (column - size_ <= 32 && size_ + 32 <= sizeof(text_)) {
      // Short gaps (the usual ones) take a fixed-size store.
      std::memset(text_ + size_, ' ', 32);
    } else {
      std::memset(text_ + size_, ' ', column - size_);
    }
    size_ = column;
  }
  size_t size() const { return size_; }
  char back() const { return size_ ? text_[size_ - 1] : '\0'; }
  std::string_view view() const { return {text_, size_}; }

 private:
  char text_[400];
  size_t size_ = 0;
};

bool WideSimd(const X86Instruction& in) {
  return in.operand16 || in.rep || in.repne;
}

// The register operand named by the reg field or the opcode.
[[gnu::always_inline]] inline void PutRegOperand(const X86Instruction& in, Line& line) {
  const int kind = in.flags & kRegMask;
  if (in.has_modrm) {
    switch (kind) {
      case 1:
        return line.Put(kRegs8[in.reg & 7]);
      case 2:
        return line.Put(kRegs16[in.reg & 7]);
      case 3:
        if (in.opcode >= 0x100) {
          line.Put(in.opcode & 1 ? "dr" : "cr");
          return line.Put(static_cast<char>('0' + in.reg));
        }
        return line.Put(kSegs[in.reg & 7]);
      case 4:
        return line.Put(in.operand16 && in.opcode != 0x0F20 ? kRegs16[in.reg & 7]
                                                            : kRegs32[in.reg & 7]);
      case 5:
        line.Put(WideSimd(in) ? "xmm" : "mm");
        return line.Put(static_cast<char>('0' + in.reg));
      case 6:
        return line.Put("st");
      case 7:
        line.Put("xmm");
        return line.Put(static_cast<char>('0' + in.reg));
      default:
        return;
    }
  }
  const int low = in.opcode & 7;
  switch (kind) {
    case 1:
      return line.Put("al");
    case 2:
      return line.Put(in.operand16 ? "ax" : "eax");
    case 4:
      return line.Put(kRegs8[low]);
    case 5:
      return line.Put(in.operand16 ? kRegs16[low] : kRegs32[low]);
    case 6:
      line.Put(in.operand16 ? "ax, " : "eax, ");
      return line.Put(in.operand16 ? kRegs16[low] : kRegs32[low]);
    default:
      return;
  }
}

// Bytes of the memory operand, 0 when its size is not printed.
int MemorySize(const X86Instruction& in) {
  const int kind = in.flags & kModRmMask;
  const int size_class = (in.flags & kSizeMask) >> 6;
  const bool x87 = in.opcode >= 0xD8 && in.opcode <= 0xDF;
  switch (kind) {
    case kModRm8:
      return 1;
    case kModRm16:
      return 2;
    case kModRmV:
      if (size_class == 0) return 0;
      if (size_class == 1) return 10;
      return in.operand16 && !x87 ? 2 : 4;
    case kModRmMmx:
      return in.operand16 && in.opcode >= 0x100 ? 16 : 8;
    case kModRmXmm:
      if (size_class == 1 && in.rep) return 4;
      if (size_class == 1 && in.repne) return 8;
      return 16;
    case kModRmScalar:
      return size_class == 2 ? 8 : 4;
    default:
      return 0;
  }
}

[[gnu::always_inline]] inline void PutMemory(const X86Instruction& in, Line& line) {
  if (in.flags & kGroupMember) {
    switch (MemorySize(in)) {
      case 1:
        line.Put("byte ptr ");
        break;
      case 2:
        line.Put("word ptr ");
        break;
      case 4:
        line.Put("dword ptr ");
        break;
      case 8:
        line.Put("qword ptr ");
        break;
      case 10:
        line.Put("tbyte ptr ");
        break;
      case 16:
        line.Put("oword ptr ");
        break;
      default:
        break;
    }
  }
  if (in.segment >= 0) {
    line.Put(kSegs[in.segment & 7]);
    line.Put(':');
  }
  line.Put('[');
  const RegName* regs = in.address16 ? kRegs16 : kRegs32;
  bool any = false;
  if (in.base >= 0) {
    line.Put(regs[in.base & 7]);
    any = true;
  }
  if (in.index >= 0) {
    if (any) line.Put('+');
    line.Put(regs[in.index & 7]);
    if (in.scale != 1) {
      line.Put('*');
      line.Put(static_cast<char>('0' + in.scale));
    }
    any = true;
  }
  if (!any) {
    line.Number(static_cast<uint32_t>(in.disp), false);
  } else if (in.disp_size != 0) {
    line.Number(in.disp, true);
  }
  line.Put(']');
}

[[gnu::always_inline]] inline void PutRmOperand(const X86Instruction& in, Line& line) {
  if (in.mod != 3) return PutMemory(in, line);
  const int kind = in.flags & kModRmMask;
  const bool x87 = in.opcode >= 0xD8 && in.opcode <= 0xDF;
  if (x87) {
    line.Put("st");
    if (in.rm != 0) {
      line.Put('(');
      line.Put(static_cast<char>('0' + in.rm));
      line.Put(')');
    }
    return;
  }
  if (in.opcode == 0x0FC7) return line.Put(in.operand16 ? kRegs16[in.rm & 7] : kRegs32[in.rm & 7]);
  switch (kind) {
    case kModRm8:
      return line.Put(kRegs8[in.rm & 7]);
    case kModRm16:
      return line.Put(kRegs16[in.rm & 7]);
    case kModRmV:
      return line.Put(in.operand16 && in.opcode < 0x100 ? kRegs16[in.rm & 7] : kRegs32[in.rm & 7]);
    case kModRmMmx:
      line.Put(WideSimd(in) ? "xmm" : "mm");
      return line.Put(static_cast<char>('0' + in.rm));
    default:
      line.Put("xmm");
      return line.Put(static_cast<char>('0' + in.rm));
  }
}

// Immediates that are sign-extended to the operand size are shown signed.
bool SignedImmediate(uint16_t opcode) {
  return opcode == 0x6A || opcode == 0x6B || opcode == 0x83;
}

[[gnu::always_inline]] inline void PutImmediate(const X86Instruction& in, Line& line,
                                                std::string_view target_label) {
  if (in.opcode == 0x9A || in.opcode == 0xEA) {
    line.Number(in.imm2, false);
    line.Put(':');
    return line.Number(in.imm, false);
  }
  if (in.opcode == 0xC8) {
    line.Number(in.imm, false);
    line.Put(", ");
    return line.Number(in.imm2, false);
  }
  if (in.flags & kRelative) {
    if (!target_label.empty()) return line.Put(target_label);
    const int64_t delta = in.imm_size == 1   ? static_cast<int8_t>(in.imm)
                          : in.imm_size == 2 ? static_cast<int16_t>(in.imm)
                                             : static_cast<int32_t>(in.imm);
    line.Number(delta, true);
    line.Put(" (");
    line.Hex8(in.next + static_cast<uint32_t>(delta));
    return line.Put(')');
  }
  if (SignedImmediate(in.opcode)) return line.Number(static_cast<int8_t>(in.imm), false);
  line.Number(in.imm, false);
}

// The operands an instruction can have, in the order they are produced.
enum class Operand : uint8_t {
  kAccumulator,  // al, ax or eax of in/out with dx
  kDx,           // dx of in/out
  kRegister,     // named by the reg field or the opcode
  kRm,           // the r/m operand
  kLabel,        // the r/m operand of a 0xFF call or jump, replaced by its target's label
  kMoffs,        // the address of 0xA0-0xA3
  kImmediate,
};

[[gnu::always_inline]] inline void PutMoffs(const X86Instruction& in, Line& line) {
  if (in.segment >= 0) {
    line.Put(kSegs[in.segment & 7]);
    line.Put(':');
  }
  line.Put('[');
  line.Number(static_cast<uint32_t>(in.disp), false);
  line.Put(']');
}

[[gnu::always_inline]] inline void PutOperands(const X86Instruction& in, Line& line,
                                               std::string_view target_label) {
  // Up to three operands: register, r/m (or moffs), immediate; the direction bit swaps the
  // first two. The list is made first, so that each operand goes straight into the line; it
  // is packed in a register (four bits an operand), as a byte array in memory costs a
  // store-forwarding stall when two entries are swapped.
  uint32_t list = 0;
  int count = 0;
  auto add = [&list, &count](Operand operand) {
    list |= static_cast<uint32_t>(operand) << (4 * count++);
  };
  const bool x87 = in.opcode >= 0xD8 && in.opcode <= 0xDF;
  const int reg_kind = in.flags & kRegMask;
  if (reg_kind == 7 && !in.has_modrm) {
    add(Operand::kAccumulator);
    add(Operand::kDx);
  } else if (reg_kind != 0 && !(x87 && in.mod != 3)) {
    add(Operand::kRegister);
  }
  const bool x87_pair = x87 && in.mod == 3 && reg_kind == 6;
  const bool fence = in.opcode == 0x0FAE && in.mod == 3;
  if (in.has_modrm && ((in.flags & kModRmMask) != 0 || x87_pair) && !fence) {
    // A label replaces the only operand of a call or jump through 0xFF.
    const bool label = in.opcode == 0xFF && !target_label.empty() && count == 0 &&
                       !(in.imm_size != 0 && in.opcode != 0x0F0F);
    add(label ? Operand::kLabel : Operand::kRm);
  } else if (in.opcode >= 0xA0 && in.opcode <= 0xA3) {
    add(Operand::kMoffs);
  }
  if (in.imm_size != 0 && in.opcode != 0x0F0F) add(Operand::kImmediate);
  if ((in.flags & kDirection) && count >= 2)
    list = (list & ~0xFFu) | (list & 0x0F) << 4 | (list >> 4 & 0x0F);
  for (int i = 0; i < count; ++i) {
    if (i) line.Put(", ");
    switch (static_cast<Operand>(list >> (4 * i) & 0x0F)) {
      case Operand::kAccumulator:
        line.Put(in.opcode & 1 ? (in.operand16 ? "ax" : "eax") : "al");
        break;
      case Operand::kDx:
        line.Put("dx");
        break;
      case Operand::kRegister:
        PutRegOperand(in, line);
        break;
      case Operand::kRm:
        PutRmOperand(in, line);
        break;
      case Operand::kLabel:
        line.Put(target_label);
        break;
      case Operand::kMoffs:
        PutMoffs(in, line);
        break;
      case Operand::kImmediate:
        PutImmediate(in, line, target_label);
        break;
    }
  }
  switch (in.opcode) {
    case 0xD0:
    case 0xD1:
      line.Put(", 1");
      break;
    case 0xD2:
    case 0xD3:
    case 0x0FA5:
    case 0x0FAD:
      line.Put(", cl");
      break;
    default:
      break;
  }
}

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Instruction text starts after the address and three blanks.
constexpr size_t kTextStart = 11;

void PutNameComment(const AddressSpace& memory, uint32_t address, const std::string& name,
                    Line& line) {
  line.PadTo(kTextStart + kCommentColumn);
  line.Put("  ; ");
  line.Put(name);
  const auto module = memory.ModuleOf(address);
  if (module && !module->is_main) {
    line.Put(" (");
    line.Put(FileName(module->path));
    line.Put(')');
  }
}

// The text at address when it looks like a string of the program.
bool PutStringComment(const AddressSpace& memory, uint32_t address, Line& line) {
  char text[kStringLimit];
  size_t count = 0;
  int letters = 0, punctuation = 0, other = 0, high = 0;
  while (count < kStringLimit) {
    uint8_t c;
    if (!memory.Read(address + static_cast<uint32_t>(count), &c, 1)) break;
    if (c == 0 || c == '\n' || c == '\f') break;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') {
      ++letters;
    } else if (c == ',' || c == '.' || c == ':' || c == '\\') {
      ++punctuation;
    } else if (c >= '!' && c <= ']') {
      ++other;
    } else if (c >= '^') {
      ++high;
    } else {
      return false;
    }
    text[count++] = static_cast<char>(c);
  }
  if (count < 4 || punctuation * 5 >= letters * 2) return false;
  const int weight = letters + punctuation / 2;
  if (!(other * 8 < weight && high * 10 < weight + other / 4)) return false;
  line.PadTo(kTextStart + kCommentColumn);
  line.Put("  ; '");
  line.Put(std::string_view(text, count));
  line.Put('\'');
  return true;
}

void PutComment(const X86Instruction& in, const AddressSpace& memory, Line& line) {
  if (in.target != 0) {
    std::string name = NameOf(memory, in.target);
    uint32_t named = in.target;
    if (name.empty()) {
      // A jump stub in the same module: name it after the stub's target.
      const auto module = memory.ModuleOf(in.address);
      X86Instruction stub;
      if (module && in.target >= module->base && in.target - module->base < module->image_size &&
          DecodeInstruction(memory, in.target, stub) && stub.is_jump && stub.target != 0) {
        name = NameOf(memory, stub.target);
        named = stub.target;
      }
    }
    if (!name.empty()) return PutNameComment(memory, named, name, line);
  }
  uint32_t value;
  bool through_memory = false;
  if (in.has_modrm && in.mod != 3 && in.disp_size == 4) {
    value = static_cast<uint32_t>(in.disp);
    through_memory = true;
  } else if (in.opcode >= 0xA0 && in.opcode <= 0xA3 && in.disp_size == 4) {
    value = static_cast<uint32_t>(in.disp);
    through_memory = true;
  } else if (in.imm_size == 4 && !(in.flags & kRelative)) {
    value = in.imm;
  } else {
    return;
  }
  const auto module = memory.ModuleOf(in.address);
  if (!module) return;
  auto inside = [&module](uint32_t v) {
    return v >= module->base &&
           static_cast<uint64_t>(v) + 100 <= uint64_t{module->base} + module->image_size;
  };
  if (!inside(value)) return;
  if (through_memory) {
    const auto pointer = memory.ReadDword(value);
    if (pointer && inside(*pointer)) value = *pointer;
  }
  const std::string name = NameOf(memory, value);
  if (!name.empty()) return PutNameComment(memory, value, name, line);
  PutStringComment(memory, value, line);
}

}  // namespace

std::string FormatX86Number(int64_t value, bool show_plus) {
  Line line;
  line.Number(value, show_plus);
  return std::string(line.view());
}

void AppendInstructionText(const X86Instruction& in, const AddressSpace& memory, std::string& out,
                           std::string_view target_label, bool with_comments) {
  if (!in.valid) {
    uint8_t bytes[16];
    const size_t count = in.length < sizeof(bytes) ? in.length : sizeof(bytes);
    const bool readable = memory.Read(in.address, bytes, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
      Line line;
      line.Hex8(in.address + static_cast<uint32_t>(i));
      line.Put("   db ");
      if (readable || memory.Read(in.address + static_cast<uint32_t>(i), &bytes[i], 1)) {
        line.Put('$');
        line.Put(kHex[bytes[i] >> 4]);
        line.Put(kHex[bytes[i] & 15]);
      } else {
        line.Put("??");
      }
      if (i) out += "\r\n";
      out.append(line.view());
    }
    return;
  }
  Line line;
  line.Hex8(in.address);
  line.Put("   ");
  const size_t start = line.size();
  if (in.lock) line.Put("lock ");
  if (in.opcode < 0x100) {
    if (in.repne) line.Put("repne ");
    if (in.rep) line.Put("rep ");
  }
  // The mnemonic is written in place (the line has room for it at this point), then
  // padded to the operands' column, with at least one blank.
  size_t name_length;
  if (const char* record = MnemonicRecords::Get().Find(in, name_length)) {
    // The record's blanks and a fixed run behind them reach the column; a name that goes
    // past it ends with a blank of the record.
    constexpr size_t kSize = MnemonicRecords::kSize;
    static_assert(2 * kSize > kMnemonicColumn);
    char* to = line.Room(2 * kSize);
    std::memcpy(to, record, kSize);
    std::memset(to + kSize, ' ', kSize);
    const size_t end = line.size() + name_length + 1;
    line.Commit((end > start + kMnemonicColumn ? end : start + kMnemonicColumn) - line.size());
  } else {
    constexpr size_t kNameRoom = 64;
    line.Commit(MnemonicText(in, line.Room(kNameRoom), kNameRoom));
    line.PadTo(start + kMnemonicColumn);
    if (line.back() != ' ') line.Put(' ');
  }
  PutOperands(in, line, target_label);
  if (with_comments) PutComment(in, memory, line);
  out.append(line.view());
}

std::string DisassembleInstruction(const AddressSpace& memory, uint32_t address,
                                   RegisterState* regs, X86Instruction& in) {
  DecodeInstruction(memory, address, in, regs);
  std::string text;
  AppendInstructionText(in, memory, text);
  return text;
}

}  // namespace trace
