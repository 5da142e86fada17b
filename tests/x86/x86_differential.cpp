// Differential check of the decoder against i686-w64-mingw32-objdump over real code:
// every code section of a set of Wine's i386 DLLs, swept linearly by objdump. At every
// instruction objdump lists, our decoder decodes the same address (so a disagreement
// resynchronises at objdump's next instruction); where both decode, length and direct
// call/jump target must agree.
//
//   x86_differential [--all] [--show N] [DLL ...]
//     --all     every DLL of the Wine folder instead of the default dozen
//     --show N  print up to N examples per class of disagreement
// Exit code 0 when every instruction both decode agrees.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "trace/pe/pe_file_view.h"
#include "trace/x86/x86_decoder.h"

namespace {

const char* const kWineDir = "/usr/lib/i386-linux-gnu/wine/i386-windows";
// Different kinds: kernel and system base, GUI, COM, codecs, crypto, runtime, shell.
const char* const kDefaultSet[] = {"kernel32.dll", "kernelbase.dll", "ntdll.dll",   "user32.dll",
                                   "gdi32.dll",    "ole32.dll",      "msvcrt.dll",  "comctl32.dll",
                                   "advapi32.dll", "crypt32.dll",    "msacm32.dll", "winmm.dll"};

struct Objdump {
  uint32_t address = 0;
  uint32_t length = 0;
  uint32_t first_byte = 0;
  std::string mnemonic;     // first word after prefixes
  bool bad = false;         // objdump could not decode it
  bool has_target = false;  // a direct call or jump
  uint32_t target = 0;
  std::string text;  // the whole line, for examples
};

bool IsPrefixWord(const std::string& word) {
  static const char* const kWords[] = {"rep",    "repz",   "repnz",  "repe",   "repne", "lock",
                                       "data16", "data32", "addr16", "addr32", "cs",    "ds",
                                       "es",     "ss",     "fs",     "gs",     "bnd",   "notrack"};
  for (const char* w : kWords) {
    if (word == w) return true;
  }
  return false;
}

bool ParseHex(std::string text, uint32_t& value) {
  if (text.rfind("0x", 0) == 0) text = text.substr(2);
  if (text.empty() || text.size() > 8) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
  return true;
}

// One line of "objdump -d -w": "  addr:\tbytes \tmnemonic operands".
bool ParseLine(const std::string& line, Objdump& out) {
  const size_t colon = line.find(":\t");
  if (colon == std::string::npos) return false;
  size_t start = line.find_first_not_of(' ');
  if (!ParseHex(line.substr(start, colon - start), out.address)) return false;
  const size_t tab = line.find('\t', colon + 2);
  const std::string bytes =
      line.substr(colon + 2, tab == std::string::npos ? tab : tab - colon - 2);
  out.length = 0;
  for (size_t i = 0; i + 1 < bytes.size();) {
    if (bytes[i] == ' ') {
      ++i;
      continue;
    }
    if (out.length++ == 0) ParseHex(bytes.substr(i, 2), out.first_byte);
    i += 2;
  }
  out.text = line;
  std::string rest = tab == std::string::npos ? "" : line.substr(tab + 1);
  std::vector<std::string> words;
  size_t at = 0;
  while (at < rest.size()) {
    const size_t space = rest.find_first_of(" ,", at);
    const std::string word = rest.substr(at, space == std::string::npos ? space : space - at);
    if (!word.empty()) words.push_back(word);
    if (space == std::string::npos) break;
    at = space + 1;
  }
  size_t w = 0;
  while (w < words.size() && IsPrefixWord(words[w]))
    ++w;
  out.mnemonic = w < words.size() ? words[w] : "";
  out.bad = out.mnemonic == "(bad)" || out.length == 0;
  out.has_target = false;
  const std::string& m = out.mnemonic;
  const bool branch =
      !m.empty() && (m[0] == 'j' || m.rfind("call", 0) == 0 || m.rfind("loop", 0) == 0);
  size_t operand = w + 1;
  if (operand < words.size() && (words[operand] == "pn" || words[operand] == "pt")) ++operand;
  if (branch && operand < words.size()) out.has_target = ParseHex(words[operand], out.target);
  if ((m == "lcall" || m == "ljmp") && w + 2 < words.size() && words[w + 2].rfind("$0x", 0) == 0) {
    out.has_target = ParseHex(words[w + 2].substr(3), out.target);
  }
  return true;
}

struct Totals {
  uint64_t instructions = 0;                // objdump's instructions
  uint64_t both = 0;                        // decoded by both
  uint64_t agree = 0;                       // both decoded, same length and target
  uint64_t targets = 0;                     // direct targets compared
  std::map<std::string, uint64_t> classes;  // disagreement class -> count
  std::map<std::string, std::vector<std::string>> examples;
};

void Note(Totals& totals, const std::string& kind, const std::string& example, size_t show) {
  ++totals.classes[kind];
  auto& list = totals.examples[kind];
  if (list.size() < show) list.push_back(example);
}

bool Compare(const std::string& path, Totals& totals, size_t show) {
  std::string error;
  const auto view = trace::PeFileView::Load(path, error);
  if (!view) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  const std::string command = "i686-w64-mingw32-objdump -d -w '" + path + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return false;
  std::string line;
  char buffer[4096];
  trace::X86Instruction in;
  const std::string name = std::filesystem::path(path).filename().string();
  while (std::fgets(buffer, sizeof(buffer), pipe.get())) {
    line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    Objdump theirs;
    if (!ParseLine(line, theirs)) continue;
    ++totals.instructions;
    trace::DecodeInstruction(*view, theirs.address, in);
    const std::string example = name + ": " + theirs.text;
    if (theirs.mnemonic == ".byte") {
      // objdump stops at the section's end; the image goes on, and so may our instruction.
      Note(totals, "(not compared) objdump .byte at the end of a section", example, show);
      continue;
    }
    if (theirs.bad && !in.valid) continue;
    if (theirs.bad) {
      Note(totals, "objdump (bad), ours valid (salc and the like)", example, show);
      continue;
    }
    if (!in.valid) {
      Note(totals, "ours invalid: " + theirs.mnemonic, example, show);
      continue;
    }
    ++totals.both;
    if (in.opcode == 0x9B && theirs.first_byte == 0x9B && theirs.length > 1) {
      // objdump shows wait and the x87 instruction behind it as one (fstsw for wait fnstsw).
      trace::X86Instruction x87;
      trace::DecodeInstruction(*view, theirs.address + 1, x87);
      if (x87.valid && x87.length + 1u == theirs.length) {
        ++totals.agree;
        Note(totals, "(agreeing) wait folded into the next instruction by objdump", example, show);
        continue;
      }
    }
    bool same = true;
    if (in.length != theirs.length) {
      Note(totals, "length: " + theirs.mnemonic,
           example + "  [ours " + std::to_string(in.length) + "]", show);
      same = false;
    }
    uint32_t target = 0;
    const bool ours = trace::DirectTarget(in, target);
    if (ours || theirs.has_target) {
      ++totals.targets;
      if (ours != theirs.has_target || target != theirs.target) {
        char ours_text[32];
        std::snprintf(ours_text, sizeof(ours_text), "  [ours %x]", ours ? target : 0);
        Note(totals, "target: " + theirs.mnemonic, example + ours_text, show);
        same = false;
      }
    }
    totals.agree += same;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  bool all = false;
  size_t show = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--all") {
      all = true;
    } else if (arg == "--show" && i + 1 < argc) {
      show = static_cast<size_t>(std::atoi(argv[++i]));
    } else {
      files.push_back(arg);
    }
  }
  if (all) {
    for (const auto& entry : std::filesystem::directory_iterator(kWineDir)) {
      if (entry.path().extension() == ".dll") files.push_back(entry.path().string());
    }
  } else if (files.empty()) {
    for (const char* dll : kDefaultSet)
      files.push_back(std::string(kWineDir) + "/" + dll);
  }
  Totals totals;
  size_t compared = 0;
  for (const std::string& file : files)
    compared += Compare(file, totals, show);

  std::printf("files compared:                 %zu\n", compared);
  std::printf("instructions (objdump):         %llu\n",
              static_cast<unsigned long long>(totals.instructions));
  std::printf("decoded by both:                %llu\n",
              static_cast<unsigned long long>(totals.both));
  std::printf("agreeing (length and target):   %llu (%.4f%%)\n",
              static_cast<unsigned long long>(totals.agree),
              totals.both ? 100.0 * totals.agree / totals.both : 0.0);
  std::printf("direct targets compared:        %llu\n",
              static_cast<unsigned long long>(totals.targets));
  std::printf("disagreements by class:\n");
  bool failed = compared != files.size();
  for (const auto& [kind, count] : totals.classes) {
    std::printf("  %8llu  %s\n", static_cast<unsigned long long>(count), kind.c_str());
    for (const std::string& example : totals.examples[kind])
      std::printf("            %s\n", example.c_str());
    if (kind.rfind("length", 0) == 0 || kind.rfind("target", 0) == 0) failed = true;
  }
  return failed ? 1 : 0;
}
