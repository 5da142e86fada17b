// disasm: the disassembler of the bug report, on a PE file from disk.
//
//   disasm FILE ADDRESS          listing of the function at ADDRESS (hexadecimal)
//   disasm --sweep FILE          linear sweep of every code section
//   --raw                        one line per instruction instead: address, length,
//                                "valid"/"invalid", direct call/jump target or "-"
//   --plain                      listing without jump labels and separators

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/address_argument.h"
#include "trace/pe/pe_file_view.h"
#include "trace/x86/x86_decoder.h"
#include "trace/x86/x86_function.h"
#include "trace/x86/x86_listing.h"
#include "trace/x86/x86_text.h"

namespace {

using tools::ParseAddress;

int Usage() {
  std::fprintf(stderr,
               "usage: disasm [--raw] [--plain] FILE ADDRESS\n"
               "       disasm --sweep [--raw] FILE\n");
  return 2;
}

void PrintRaw(const trace::X86Instruction& in) {
  uint32_t target = 0;
  if (trace::DirectTarget(in, target)) {
    std::printf("%x %x %s %x\n", in.address, in.length, in.valid ? "valid" : "invalid", target);
  } else {
    std::printf("%x %x %s -\n", in.address, in.length, in.valid ? "valid" : "invalid");
  }
}

void PrintText(const trace::PeFileView& view, const trace::X86Instruction& in) {
  std::string text;
  trace::AppendInstructionText(in, view, text);
  size_t at;
  while ((at = text.find("\r\n")) != std::string::npos)
    text.replace(at, 2, "\n");
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

int Sweep(const trace::PeFileView& view, bool raw) {
  for (const trace::MappedSection& section : view.CodeSections()) {
    if (!raw) std::printf("; section %s\n", section.name.c_str());
    trace::X86Instruction in;
    for (uint64_t address = section.begin; address < section.end;) {
      trace::DecodeInstruction(view, static_cast<uint32_t>(address), in);
      if (raw) {
        PrintRaw(in);
      } else {
        PrintText(view, in);
      }
      address += in.length;
    }
  }
  return 0;
}

int Function(const trace::PeFileView& view, uint32_t address, bool raw, bool structured) {
  trace::TFunctionInfo info;
  if (raw) {
    trace::ParseFunction(view, address, info);
    std::vector<trace::TCodeArea> areas = info.code_areas;
    std::sort(areas.begin(), areas.end(),
              [](const auto& a, const auto& b) { return a.begin < b.begin; });
    for (const trace::TCodeArea& area : areas) {
      if (area.is_case_table || area.end == 0) continue;
      trace::X86Instruction in;
      for (uint64_t at = area.begin; at <= area.end;) {
        trace::DecodeInstruction(view, static_cast<uint32_t>(at), in);
        PrintRaw(in);
        at += in.length;
      }
    }
  } else {
    std::string text = trace::DisassembleFunction(view, address, 0, info, structured, 0);
    size_t at;
    while ((at = text.find("\r\n")) != std::string::npos)
      text.replace(at, 2, "\n");
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
  }
  if (!info.valid) {
    std::fprintf(stderr, "disasm: %s at %08x (error %u)\n", info.last_error_text.c_str(),
                 info.last_error_address, info.last_error);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool raw = false;
  bool sweep = false;
  bool structured = true;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--raw") {
      raw = true;
    } else if (arg == "--sweep") {
      sweep = true;
    } else if (arg == "--plain") {
      structured = false;
    } else if (arg.rfind("--", 0) == 0) {
      return Usage();
    } else {
      args.push_back(arg);
    }
  }
  if (args.size() != (sweep ? 1u : 2u)) return Usage();
  std::string error;
  const auto view = trace::PeFileView::Load(args[0], error);
  if (!view) {
    std::fprintf(stderr, "disasm: %s: %s\n", args[0].c_str(), error.c_str());
    return 1;
  }
  if (sweep) return Sweep(*view, raw);
  uint32_t address = 0;
  if (!ParseAddress(args[1], address)) {
    std::fprintf(stderr, "disasm: not a hexadecimal address: %s\n", args[1].c_str());
    return 2;
  }
  return Function(*view, address, raw, structured);
}
