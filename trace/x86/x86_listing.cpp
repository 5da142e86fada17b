#include "trace/x86/x86_listing.h"

#include <algorithm>
#include <vector>

#include "trace/x86/x86_decoder.h"
#include "trace/x86/x86_names.h"
#include "trace/x86/x86_text.h"

namespace trace {
namespace {

constexpr size_t kNoteColumn = 30;  // notes start at column 31
constexpr std::string_view kSeparator =
    "; ---------------------------------------------------------";

std::string Hex8(uint32_t value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[i] = kHex[value & 15];
  return text;
}

class Listing {
 public:
  Listing(const AddressSpace& memory, const TFunctionInfo& info, bool structured)
      : memory_(memory), info_(info), structured_(structured) {}

  // Builds the lines; false when the areas overlap.
  bool Build(uint32_t function, uint32_t exception_address) {
    std::vector<const TCodeArea*> areas;
    for (const TCodeArea& area : info_.code_areas)
      areas.push_back(&area);
    std::stable_sort(areas.begin(), areas.end(),
                     [](const TCodeArea* a, const TCodeArea* b) { return a->begin < b->begin; });
    for (size_t i = 1; i < areas.size(); ++i) {
      if (areas[i - 1]->end == 0 || areas[i]->begin <= areas[i - 1]->end) return false;
    }
    const std::string name = NameOf(memory_, function);
    entry_label_ = name.empty() ? "sub_" + Hex8(function) : name;
    std::vector<uint32_t> jump_targets;
    for (const TCodeArea& area : info_.code_areas) {
      // Areas also begin where known register values change; only jumps give labels.
      X86Instruction referrer;
      if (area.referrer == 0 || !DecodeInstruction(memory_, area.referrer, referrer)) continue;
      if ((referrer.is_jump && referrer.target == area.begin) ||
          (referrer.opcode == 0xFF && referrer.reg == 4)) {
        jump_targets.push_back(area.begin);
      }
    }
    for (const TCodeArea* area : areas)
      starts_.push_back(area->begin);

    for (const TCodeArea* area : areas) {
      if (area->is_case_table) {
        CaseTable(*area);
        continue;
      }
      if (area->begin == function) {
        std::string line =
            Hex8(area->begin) + " " + (name.empty() ? entry_label_ : "public " + name) + ":";
        line.resize(std::max(line.size(), kNoteColumn), ' ');
        Add(line + "  ; function entry point");
      } else if (structured_ && std::find(jump_targets.begin(), jump_targets.end(), area->begin) !=
                                    jump_targets.end()) {
        Add(Hex8(area->begin) + " " + Label(area->begin) + ":");
      }
      Code(*area, exception_address);
    }
    return true;
  }

  std::vector<std::string>& lines() { return lines_; }
  int exception_line() const { return exception_line_; }

 private:
  std::string Label(uint32_t address) const {
    return address == info_.entry_point ? entry_label_ : "loc_" + Hex8(address);
  }

  void Add(std::string line) {
    last_separator_ = false;
    lines_.push_back(std::move(line));
  }

  void Separator(uint32_t address) {
    if (last_separator_) return;
    Add(Hex8(address));
    Add(Hex8(address) + " " + std::string(kSeparator));
    Add(Hex8(address));
    last_separator_ = true;
  }

  void Code(const TCodeArea& area, uint32_t exception_address) {
    uint32_t address = area.begin;
    RegisterState regs;
    regs.value = area.registers;
    while (area.end == 0 || address <= area.end) {
      X86Instruction in;
      DecodeInstruction(memory_, address, in, &regs);
      std::string label;
      if ((in.is_jump || in.is_call) && in.target != 0 &&
          std::binary_search(starts_.begin(), starts_.end(), in.target)) {
        label = Label(in.target);
      }
      std::string text;
      AppendInstructionText(in, memory_, text, label);
      size_t start = 0;
      for (;;) {
        const size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (address == exception_address && start == 0 && line.size() > 9) {
          line[9] = kExceptionMark;
          exception_line_ = static_cast<int>(lines_.size());
        }
        Add(std::move(line));
        if (end == std::string::npos) break;
        start = end + 2;
      }
      if (!in.valid) break;  // the function's error stops its listing here
      const bool unconditional = in.opcode == 0xC2 || in.opcode == 0xC3 || in.opcode == 0xCA ||
                                 in.opcode == 0xCB || in.opcode == 0xCF ||
                                 (in.opcode >= 0xE9 && in.opcode <= 0xEB) ||
                                 (in.opcode == 0xFF && in.reg >= 4 && in.reg <= 5);
      if (structured_ && unconditional) Separator(address);
      if (in.next <= address) break;
      address = in.next;
    }
  }

  void CaseTable(const TCodeArea& area) {
    if (structured_) Separator(area.begin);
    for (uint32_t at = area.begin; at + 3 <= area.end && at >= area.begin; at += 4) {
      const uint32_t target = memory_.ReadDword(at).value_or(0);
      std::string line = Hex8(at) + " " + "  dd loc_" + Hex8(target);
      if (at == area.begin) {
        line.resize(std::max(line.size(), kNoteColumn), ' ');
        line += "  ; case jump table";
      }
      Add(std::move(line));
    }
    if (structured_) Separator(area.end - 3);
  }

  const AddressSpace& memory_;
  const TFunctionInfo& info_;
  bool structured_;
  std::string entry_label_;
  std::vector<uint32_t> starts_;
  std::vector<std::string> lines_;
  int exception_line_ = -1;
  bool last_separator_ = false;
};

}  // namespace

std::string DisassembleFunction(const AddressSpace& memory, uint32_t address,
                                uint32_t exception_address, TFunctionInfo& info, bool structured,
                                int line_limit, std::string_view error87_text) {
  ParseFunction(memory, address, info, error87_text);
  if (info.code_areas.empty()) return {};
  Listing listing(memory, info, structured);
  if (!listing.Build(address, exception_address)) return std::string(kListingInternalError);
  const std::vector<std::string>& lines = listing.lines();

  size_t first = 0;
  size_t last = lines.size();  // one past the last line kept
  bool cut_front = false;
  bool cut_back = false;
  if (line_limit > 0) {
    const size_t n = static_cast<size_t>(line_limit);
    const int mark = listing.exception_line();
    const size_t before = mark < 0 ? 0 : static_cast<size_t>(mark);
    if (mark >= 0 && before > n * 12 / 10) {
      first = before - (n + 1);
      cut_front = true;
    }
    const size_t after_start = mark < 0 ? 0 : before + 1;
    if (last > after_start + n) {
      last = after_start + n;
      cut_back = true;
    }
  }
  std::string text;
  if (cut_front) text += "[...]\r\n";
  for (size_t i = first; i < last; ++i) {
    text += lines[i];
    text += "\r\n";
  }
  if (cut_back) {
    text += "[...]";
  } else if (text.size() >= 2) {
    text.resize(text.size() - 2);
  }
  return text;
}

}  // namespace trace
