#include "trace/x86/x86_function.h"

#include <algorithm>
#include <map>
#include <set>

#include "trace/x86/x86_decoder.h"

namespace trace {
namespace {

constexpr size_t kMaxInstructions = 1u << 20;  // decoding budget of one function
constexpr uint32_t kGapReach = 1023;           // furthest end beyond a gap that is still searched

bool EndsArea(const X86Instruction& in) {
  switch (in.opcode) {
    case 0xC2:
    case 0xC3:
    case 0xCA:
    case 0xCB:
    case 0xCF:
    case 0xE9:
    case 0xEA:
    case 0xEB:
      return true;
    case 0xFF:
      return in.reg == 4 || in.reg == 5;
    default:
      return false;
  }
}

bool IsCaseCompare(const X86Instruction& in) {
  return in.valid && in.opcode == 0x83 && in.mod == 3 && in.reg == 7 && !in.operand16;
}

// ja, jae, jg, jge (short or near); entries: the count the compared bound allows.
int CaseJumpKind(const X86Instruction& in) {
  switch (in.opcode) {
    case 0x77:
    case 0x0F87:
    case 0x7F:
    case 0x0F8F:
      return 1;  // imm8 + 1 entries
    case 0x73:
    case 0x0F83:
    case 0x7D:
    case 0x0F8D:
      return 2;  // imm8 entries
    default:
      return 0;
  }
}

class Parser {
 public:
  Parser(const AddressSpace& memory, TFunctionInfo& info) : memory_(memory), info_(info) {}

  bool Run(uint32_t entry, std::string_view error87_text) {
    const auto region = memory_.Region(entry);
    if (!region || !region->committed) {
      info_.last_error_address = entry;
      info_.last_error = kInvalidParameterError;
      info_.last_error_text = std::string(error87_text);
      return false;
    }
    if (const auto module = memory_.ModuleOf(entry)) {
      low_ = module->base;
      high_ = uint64_t{module->base} + module->image_size;
    } else {
      low_ = region->base;
      high_ = uint64_t{region->base} + region->size;
    }
    Open(entry, 0, RegisterState{});
    for (;;) {
      bool parsed_any = false;
      for (size_t i = 0; i < info_.code_areas.size(); ++i) {
        if (info_.code_areas[i].end != 0 || info_.code_areas[i].is_case_table) continue;
        if (!ParseArea(i)) return false;
        parsed_any = true;
      }
      if (parsed_any) continue;
      if (Revisit()) continue;
      if (!OpenGap()) break;
    }
    Finish();
    return true;
  }

 private:
  bool Inside(uint32_t address) const { return address >= low_ && address < high_; }

  // The area containing address (parsed areas by range, others by begin), or -1.
  int AreaAt(uint32_t address) const {
    auto it = by_begin_.upper_bound(address);
    if (it == by_begin_.begin()) return -1;
    --it;
    const TCodeArea& area = info_.code_areas[it->second];
    if (area.begin == address || (area.end != 0 && address <= area.end)) return it->second;
    return -1;
  }

  // Begin of the first area after address, or 0 when none.
  uint64_t NextAreaBegin(uint32_t address) const {
    auto it = by_begin_.upper_bound(address);
    return it == by_begin_.end() ? uint64_t{1} << 32 : it->first;
  }

  bool Fail(uint32_t address) {
    info_.last_error_address = address;
    info_.last_error = kInvalidCodeError;
    info_.last_error_text = "Invalid code!";
    return false;
  }

  // Opens a code area at address unless code there is known already.
  void Open(uint32_t address, uint32_t referrer, const RegisterState& regs) {
    if (AreaAt(address) >= 0) return;
    if (current_ >= 0 && address >= info_.code_areas[current_].begin && address < current_at_) {
      return;  // a jump back into the area being parsed
    }
    if (info_.code_areas.size() >= kMaxCodeAreas) {
      overflow_ = true;
      return;
    }
    TCodeArea area;
    area.begin = address;
    area.referrer = referrer;
    area.registers = regs.value;
    by_begin_[address] = static_cast<int>(info_.code_areas.size());
    info_.code_areas.push_back(area);
  }

  // A call target that is a jump stub stands for the stub's target.
  void ResolveStub(TKnownCall& call) const {
    uint8_t first;
    if (!memory_.Read(call.target, &first, 1)) return;
    if (first != 0x02 && first != 0x03 && first != 0xE9 && first != 0xEB && first != 0xFF) return;
    X86Instruction stub;
    if (!DecodeInstruction(memory_, call.target, stub) || !stub.is_jump || stub.target == 0) return;
    if (!memory_.ExportName(call.target).empty()) return;
    call.target = stub.target;
  }

  void AddKnown(const X86Instruction& in) {
    for (const TKnownCall& known : info_.known_calls) {
      if (known.next == in.next) return;
    }
    TKnownCall call;
    call.is_call = in.is_call;
    call.address = in.address;
    call.next = in.next;
    call.target = in.target;
    call.target_relative = in.target_relative;
    call.target_pointer = in.target_pointer;
    call.target_pointer_pointer = in.target_pointer_pointer;
    ResolveStub(call);
    info_.known_calls.push_back(call);
  }

  void AddUnknown(const X86Instruction& in) {
    for (const TUnknownCall& unknown : info_.unknown_calls) {
      if (unknown.next == in.next) return;
    }
    info_.unknown_calls.push_back({in.is_call, in.address, in.next});
  }

  // Records a call or jump with a known target.
  void Branch(const X86Instruction& in, const RegisterState& regs) {
    if (in.is_jump && !in.far && (in.target_size != 4 || Inside(in.target))) {
      Open(in.target, in.address, regs);
    } else {
      AddKnown(in);
    }
  }

  // The jump table behind jmp [reg*4 + table] after cmp reg, imm8 and ja/jae/jg/jge.
  bool CaseTable(const X86Instruction& jmp, const RegisterState& regs) {
    if (jmp.opcode != 0xFF || jmp.reg != 4 || jmp.mod != 0 || jmp.base >= 0 || jmp.index < 0 ||
        jmp.scale != 4 || jmp.operand16 || jmp.address16) {
      return false;
    }
    if (!IsCaseCompare(before_[0]) || before_[0].rm != jmp.index) return false;
    const int kind = CaseJumpKind(before_[1]);
    if (kind == 0 || before_[1].next != jmp.address || before_[0].next != before_[1].address) {
      return false;
    }
    const uint32_t table = static_cast<uint32_t>(jmp.disp);
    const uint32_t bound = before_[0].imm & 0xFF;
    const uint32_t entries = kind == 1 ? bound + 1 : bound;
    // Tables right behind the jump are part of the code; a compiler may also keep them
    // with the read-only data of the module.
    if (entries == 0 || !Inside(table) || AreaAt(table) >= 0) return false;
    std::vector<uint32_t> targets;
    for (uint32_t i = 0; i < entries; ++i) {
      const auto target = memory_.ReadDword(table + 4 * i);
      if (!target) return false;
      targets.push_back(*target);
    }
    if (info_.code_areas.size() + entries + 1 > kMaxCodeAreas) return false;
    TCodeArea area;
    area.begin = table;
    area.end = table + 4 * entries - 1;
    area.is_case_table = true;
    area.referrer = jmp.address;
    by_begin_[table] = static_cast<int>(info_.code_areas.size());
    info_.code_areas.push_back(area);
    for (uint32_t target : targets) {
      if (Inside(target)) Open(target, jmp.address, regs);
    }
    return true;
  }

  // A case table kept away from the code (not right behind its jump).
  static bool Detached(const TCodeArea& area) {
    return area.is_case_table && area.referrer + 7 != area.begin;
  }

  bool ParseArea(size_t index) {
    current_ = static_cast<int>(index);
    const uint32_t begin = info_.code_areas[index].begin;
    RegisterState regs;
    regs.value = info_.code_areas[index].registers;
    before_[0] = before_[1] = X86Instruction{};
    uint32_t address = begin;
    for (;;) {
      current_at_ = address;
      if (address != begin && by_begin_.count(address)) {
        info_.code_areas[index].end = address - 1;
        break;
      }
      if (++decoded_ > kMaxInstructions) return Fail(address);
      const RegisterState previous = regs;
      X86Instruction in;
      if (!DecodeInstruction(memory_, address, in, &regs)) return Fail(address);
      if (in.next < address || in.next > NextAreaBegin(address)) return Fail(address);
      if (in.is_call || in.is_jump) {
        if (in.target != 0) {
          Branch(in, regs);
        } else if (!CaseTable(in, regs)) {
          AddUnknown(in);
        }
      }
      if (overflow_) return Fail(address);
      if (EndsArea(in) || in.next == 0) {
        info_.code_areas[index].end = in.next - 1;
        break;
      }
      if (regs.value != previous.value) {
        info_.code_areas[index].end = in.next - 1;
        Open(in.next, address, regs);
        break;
      }
      before_[0] = before_[1];
      before_[1] = in;
      address = in.next;
    }
    current_ = -1;
    return true;
  }

  // Decodes the unknown calls again with the registers known at their area's start.
  bool Revisit() {
    bool found = false;
    for (size_t i = info_.unknown_calls.size(); i-- > 0;) {
      const TUnknownCall unknown = info_.unknown_calls[i];
      const int area = AreaAt(unknown.address);
      if (area < 0) continue;
      RegisterState regs;
      regs.value = info_.code_areas[area].registers;
      X86Instruction in;
      uint32_t address = info_.code_areas[area].begin;
      bool reached = false;
      for (size_t steps = 0; steps < 100000 && address <= unknown.address; ++steps) {
        if (!DecodeInstruction(memory_, address, in, &regs)) break;
        if (address == unknown.address) {
          reached = true;
          break;
        }
        address = in.next;
      }
      if (!reached || in.target == 0) continue;
      info_.unknown_calls.erase(info_.unknown_calls.begin() + static_cast<std::ptrdiff_t>(i));
      Branch(in, regs);
      found = true;
    }
    return found;
  }

  // Opens the first gap behind the run of adjacent areas from the lowest one.
  bool OpenGap() {
    const bool jump = std::any_of(info_.unknown_calls.begin(), info_.unknown_calls.end(),
                                  [](const TUnknownCall& u) { return !u.is_call; });
    if (!jump || by_begin_.empty()) return false;
    uint64_t run_end = 0;
    uint64_t highest = 0;
    bool first = true;
    uint64_t gap = 0;
    for (const auto& [begin, index] : by_begin_) {
      const TCodeArea& area = info_.code_areas[index];
      highest = std::max<uint64_t>(highest, area.end);
      if (first) {
        run_end = area.end;
        first = false;
      } else if (gap == 0 && begin <= run_end + 1) {
        run_end = std::max<uint64_t>(run_end, area.end);
      } else if (gap == 0) {
        gap = run_end + 1;
      }
    }
    if (gap == 0 || highest < gap || highest - gap > kGapReach || !tried_gaps_.insert(gap).second) {
      return false;
    }
    Open(static_cast<uint32_t>(gap), 0, RegisterState{});
    return info_.code_areas.back().begin == gap;
  }

  void Finish() {
    uint64_t low = UINT64_MAX;
    uint64_t high = 0;
    for (const TCodeArea& area : info_.code_areas) {
      if (Detached(area)) continue;
      low = std::min<uint64_t>(low, area.begin);
      high = std::max<uint64_t>(high, area.end);
    }
    info_.valid = true;
    info_.code_begin = static_cast<uint32_t>(low);
    info_.code_length = static_cast<uint32_t>(high - low + 1);
    int double_pointers = 0;
    for (const TKnownCall& call : info_.known_calls)
      double_pointers += call.target_pointer_pointer != 0;
    info_.size_estimate = static_cast<int>(info_.code_length) + 4 + 4 * double_pointers;

    // The head can take a 5-byte jump when no call or jump in its first 6 bytes has an
    // unknown target or a displacement shorter than 4 bytes.
    const TCodeArea& head = info_.code_areas.front();
    bool patchable = head.end >= head.begin && head.end - head.begin + 1 > 5;
    const uint32_t entry = info_.entry_point;
    for (uint32_t at = entry; patchable && at - entry < 6;) {
      X86Instruction in;
      if (!DecodeInstruction(memory_, at, in)) break;
      const bool branch =
          in.is_jump || in.is_call || (in.opcode == 0xFF && in.reg >= 2 && in.reg <= 5);
      if (branch && (in.target == 0 || in.target_size < 4)) patchable = false;
      at = in.next;
    }
    info_.patchable_head = patchable;
  }

  const AddressSpace& memory_;
  TFunctionInfo& info_;
  uint64_t low_ = 0;
  uint64_t high_ = 0;
  std::map<uint32_t, int> by_begin_;
  std::set<uint64_t> tried_gaps_;
  X86Instruction before_[2];
  int current_ = -1;
  uint32_t current_at_ = 0;
  size_t decoded_ = 0;
  bool overflow_ = false;
};

}  // namespace

bool ParseFunction(const AddressSpace& memory, uint32_t address, TFunctionInfo& info,
                   std::string_view error87_text) {
  info = TFunctionInfo{};
  info.entry_point = address;
  Parser parser(memory, info);
  return parser.Run(address, error87_text);
}

}  // namespace trace
