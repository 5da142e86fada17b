#include "trace/x86/x86_mnemonic.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "trace/x86/x86_tables.h"

namespace trace {
namespace {

// Part number part (0-based) of text split at separator; empty when there is none.
std::string_view Part(std::string_view text, char separator, int part) {
  size_t start = 0;
  for (int i = 0; i < part; ++i) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos) return {};
    start = at + 1;
  }
  const size_t end = text.find(separator, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

size_t CountParts(std::string_view text, char separator) {
  size_t count = 1;
  for (char c : text)
    count += c == separator;
  return count;
}

// Prefix variant: none, 0x66, 0xF2, 0xF3. One-byte opcodes print rep prefixes as text.
int Variant(const X86Instruction& in) {
  if (in.opcode >= 0x100) {
    if (in.rep) return 3;
    if (in.repne) return 2;
  }
  return in.operand16 ? 1 : 0;
}

bool IsX87(const X86Instruction& in) {
  return in.opcode >= 0xD8 && in.opcode <= 0xDF;
}

std::string_view Select(std::string_view entry, int variant, bool register_form, int reg, int rm,
                        bool x87) {
  std::string_view name = entry;
  if (name.find('/') != std::string_view::npos) {
    std::string_view chosen = Part(entry, '/', variant);
    name = chosen.empty() ? Part(entry, '/', 0) : chosen;
  }
  if (name.find(':') != std::string_view::npos) name = Part(name, ':', register_form ? 1 : 0);
  if (name.find('|') != std::string_view::npos) {
    const bool sixteen = x87 && CountParts(name, '|') > 8;
    name = Part(name, '|', reg + (sixteen && register_form ? 8 : 0));
  }
  if (x87 && register_form && name.find('-') != std::string_view::npos) name = Part(name, '-', rm);
  return name;
}

// Allowed r/m values (bit per value) by table, opcode, variant, form and reg field.
struct FormTable {
  std::array<uint8_t, 2 * 256 * 4 * 2 * 8> mask{};
  // The name chosen for any r/m value (offset in the entry << 8 | length), kByRm when
  // the choice depends on r/m.
  std::array<uint16_t, 2 * 256 * 4 * 2 * 8> chosen;
  static constexpr uint16_t kByRm = 0xFFFF;

  FormTable() {
    chosen.fill(kByRm);
    for (int table = 0; table < 2; ++table) {
      for (int op = 0; op < 256; ++op) {
        const int index = table ? x86::kTwoByteMnemonic[op] : x86::kOneByteMnemonic[op];
        const std::string_view entry = x86::MnemonicName(index);
        const bool x87 = table == 0 && op >= 0xD8 && op <= 0xDF;
        for (int variant = 0; variant < 4; ++variant) {
          for (int form = 0; form < 2; ++form) {
            for (int reg = 0; reg < 8; ++reg) {
              uint8_t bits = 0;
              const std::string_view first = Select(entry, variant, form == 1, reg, 0, x87);
              // An empty choice (a form without a name) has no place in the entry.
              bool same = !first.empty() && first.size() < 256 && first.data() - entry.data() < 255;
              for (int rm = 0; rm < 8; ++rm) {
                const std::string_view name = Select(entry, variant, form == 1, reg, rm, x87);
                if (entry.empty() || !name.empty()) bits |= static_cast<uint8_t>(1 << rm);
                same = same && name.data() == first.data() && name.size() == first.size();
              }
              const size_t slot = Slot(table, op, variant, form, reg);
              mask[slot] = bits;
              if (same) {
                chosen[slot] =
                    static_cast<uint16_t>((first.data() - entry.data()) << 8 | first.size());
              }
            }
          }
        }
      }
    }
  }

  static size_t Slot(int table, int op, int variant, int form, int reg) {
    return ((((static_cast<size_t>(table) * 256 + op) * 4 + variant) * 2 + form) * 8) + reg;
  }
};

const FormTable& Forms() {
  static const FormTable table;
  return table;
}

void Put(char* out, size_t capacity, size_t& at, char c) {
  if (at + 1 < capacity) out[at++] = c;
}

void Put(char* out, size_t capacity, size_t& at, std::string_view text) {
  for (char c : text)
    Put(out, capacity, at, c);
}

constexpr std::string_view kConditions[16] = {"o", "no", "b", "nb", "z", "nz", "be", "a",
                                              "s", "ns", "p", "np", "l", "ge", "le", "g"};
constexpr std::string_view kSegments[8] = {"es", "cs", "ss", "ds", "fs", "gs", "?", "?"};

// Writes name with its placeholders filled and the "f" of x87 in front; returns its length.
size_t FinishName(const X86Instruction& in, std::string_view name, char* out, size_t capacity) {
  size_t at = 0;
  if (IsX87(in)) Put(out, capacity, at, 'f');
  const bool double_prefix = in.operand16 || in.repne;
  const bool scalar_prefix = in.repne || in.rep;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '%' && name.substr(i, 3) == "%cc") {
      Put(out, capacity, at, kConditions[in.opcode & 0x0F]);
      i += 2;
    } else if (c == '%' && name.substr(i, 4) == "%seg") {
      Put(out, capacity, at, kSegments[(in.opcode >> 3) & 7]);
      i += 3;
    } else if (c == 'S') {
      Put(out, capacity, at, double_prefix ? 'd' : 's');
    } else if (c == 'P') {
      Put(out, capacity, at, scalar_prefix ? 's' : 'p');
    } else {
      Put(out, capacity, at, c);
    }
  }
  out[at] = '\0';
  return at;
}

}  // namespace

std::string_view SelectMnemonic(std::string_view entry, const X86Instruction& in) {
  return Select(entry, Variant(in), in.has_modrm && in.mod == 3, in.reg, in.rm, IsX87(in));
}

bool MnemonicFormAllowed(const X86Instruction& in) {
  if (!in.has_modrm) return true;
  const int table = in.opcode >= 0x100 ? 1 : 0;
  const uint8_t bits =
      Forms()
          .mask[FormTable::Slot(table, in.opcode & 0xFF, Variant(in), in.mod == 3 ? 1 : 0, in.reg)];
  return (bits >> in.rm) & 1;
}

uint8_t AllowedRmValues(bool two_byte, uint8_t opcode, int variant, bool register_form, int reg) {
  return Forms()
      .mask[FormTable::Slot(two_byte ? 1 : 0, opcode, variant & 3, register_form ? 1 : 0, reg & 7)];
}

namespace {

// The finished mnemonic worked out from the list, placeholders and all.
size_t ComposeMnemonic(const X86Instruction& in, char* out, size_t capacity) {
  if (capacity == 0) return 0;
  // Per list entry: 1 when it chooses by prefix, form or member, 2 when it has placeholders.
  static const std::array<uint8_t, 256> kKinds = [] {
    std::array<uint8_t, 256> kinds{};
    for (int i = 0; i < 256; ++i) {
      const std::string_view entry = x86::MnemonicName(i);
      if (entry.find_first_of("/:|-") != std::string_view::npos) kinds[i] |= 1;
      if (entry.find_first_of("%SP") != std::string_view::npos) kinds[i] |= 2;
    }
    return kinds;
  }();
  // Names whose only placeholders depend on the opcode ("j%cc", "push    %seg"), finished
  // once per opcode (one-byte, then 0x0F xx); empty for the others.
  struct Finished {
    std::array<std::array<char, 16>, 512> text{};
    std::array<uint8_t, 512> size{};
  };
  static const Finished kFinished = [] {
    Finished finished;
    for (int i = 0; i < 512; ++i) {
      const bool two_byte = i >= 256;
      const int index = two_byte ? x86::kTwoByteMnemonic[i - 256] : x86::kOneByteMnemonic[i];
      const std::string_view entry = x86::MnemonicName(index);
      if (entry.find('%') == std::string_view::npos ||
          entry.find_first_of("/:|-SP") != std::string_view::npos) {
        continue;
      }
      X86Instruction any;
      any.opcode = static_cast<uint16_t>(two_byte ? 0x0F00 + (i - 256) : i);
      any.mnemonic = static_cast<uint8_t>(index);
      if (IsX87(any)) continue;
      char text[64];
      const size_t size = FinishName(any, entry, text, sizeof(text));
      if (size > finished.text[i].size()) continue;
      std::memcpy(finished.text[i].data(), text, size);
      finished.size[i] = static_cast<uint8_t>(size);
    }
    return finished;
  }();
  if (in.opcode != 0x0F0F) {
    const int slot = in.opcode >= 0x100 ? 256 + (in.opcode & 0xFF) : in.opcode;
    const uint8_t size = kFinished.size[slot];
    const int table_index = in.opcode >= 0x100 ? x86::kTwoByteMnemonic[in.opcode & 0xFF]
                                               : x86::kOneByteMnemonic[in.opcode & 0xFF];
    if (size != 0 && table_index == in.mnemonic) {
      const size_t count = size < capacity - 1 ? size : capacity - 1;
      std::memcpy(out, kFinished.text[slot].data(), count);
      out[count] = '\0';
      return count;
    }
  }
  std::string_view name;
  uint8_t kind = 2;
  if (in.opcode == 0x0F0F) {
    name = x86::ThreeDNowName(in.suffix);
  } else {
    kind = kKinds[in.mnemonic];
    name = x86::MnemonicName(in.mnemonic);
    if (kind & 1) {
      // The choice is precomputed for the entry of the instruction's opcode.
      const int table = in.opcode >= 0x100 ? 1 : 0;
      const int op = in.opcode & 0xFF;
      const bool register_form = in.has_modrm && in.mod == 3;
      const uint16_t chosen =
          (table ? x86::kTwoByteMnemonic[op] : x86::kOneByteMnemonic[op]) == in.mnemonic &&
                  in.reg < 8
              ? Forms().chosen[FormTable::Slot(table, op, Variant(in), register_form, in.reg)]
              : FormTable::kByRm;
      name = chosen != FormTable::kByRm ? name.substr(chosen >> 8, chosen & 0xFF)
                                        : SelectMnemonic(name, in);
    }
  }
  if (!(kind & 2) && !IsX87(in)) {
    // Without placeholders the chosen name is the text: one copy.
    const size_t count = name.size() < capacity - 1 ? name.size() : capacity - 1;
    if (count != 0) std::memcpy(out, name.data(), count);  // an empty name may have no data
    out[count] = '\0';
    return count;
  }
  return FinishName(in, name, out, capacity);
}

}  // namespace

size_t MnemonicText(const X86Instruction& in, char* out, size_t capacity) {
  size_t length;
  const char* record = MnemonicRecords::Get().Find(in, length);
  if (record && capacity > MnemonicRecords::kSize) {
    std::memcpy(out, record, MnemonicRecords::kSize);
    out[length] = '\0';
    return length;
  }
  return ComposeMnemonic(in, out, capacity);
}

// Every opcode (one-byte, then 0x0F xx) by prefix state (0x66, 0xF2, 0xF3), form and reg
// field, where neither the r/m field nor anything else chooses: the name composed once.
MnemonicRecords::MnemonicRecords() {
  std::map<std::string, uint16_t, std::less<>> numbers;
  for (int table = 0; table < 2; ++table) {
    for (int op = 0; op < 256; ++op) {
      const int index = table ? x86::kTwoByteMnemonic[op] : x86::kOneByteMnemonic[op];
      if (index == 0 || (table == 1 && op == 0x0F)) continue;
      for (int prefixes = 0; prefixes < 8; ++prefixes) {
        if ((prefixes & 6) == 6) continue;  // 0xF2 and 0xF3 exclude each other
        for (int form = 0; form < 2; ++form) {
          for (int reg = 0; reg < 8; ++reg) {
            X86Instruction any;
            any.opcode = static_cast<uint16_t>(table ? 0x0F00 + op : op);
            any.mnemonic = static_cast<uint8_t>(index);
            any.operand16 = prefixes & 1;
            any.repne = prefixes & 2;
            any.rep = prefixes & 4;
            any.has_modrm = true;
            any.mod = form ? 3 : 0;
            any.reg = static_cast<uint8_t>(reg);
            char text[64];
            const size_t size = ComposeMnemonic(any, text, sizeof(text));
            const std::string_view name(text, size);
            // The length goes in four bits; a line ends the name with a blank of the record.
            bool same = size != 0 && size < kSize && name.back() != ' ';
            // Only x87 register forms choose by the r/m field.
            const bool by_rm = form == 1 && table == 0 && op >= 0xD8 && op <= 0xDF;
            for (int rm = 1; rm < 8 && same && by_rm; ++rm) {
              any.rm = static_cast<uint8_t>(rm);
              char other[64];
              same = name == std::string_view(other, ComposeMnemonic(any, other, sizeof(other)));
            }
            if (!same) continue;
            auto found = numbers.find(name);
            if (found == numbers.end()) {
              const size_t number = pool_.size() / kSize;
              if (number >= 0x1000) continue;  // the record number goes in twelve bits
              found = numbers.emplace(std::string(name), static_cast<uint16_t>(number)).first;
              pool_.append(name);
              pool_.append(kSize - size, ' ');
            }
            slots_[Slot(table, op, prefixes, form, reg)] =
                static_cast<uint16_t>(found->second << 4 | size);
          }
        }
      }
    }
  }
}

}  // namespace trace
