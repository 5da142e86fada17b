// Decoder speed: the .text of a large Wine DLL decoded linearly by our decoder, by Zydis 4
// (minimal and full mode) and by Capstone 4, decode-only and decode-plus-text, in MB/s and
// instructions/s with the ratios to Zydis. Build it in a Release tree:
//
//   x86_decoder_bench [DLL] [--seconds S] [--rounds R]
//
// Each contestant runs S seconds in all, spread over R rounds that take turns, and keeps its
// best pass, so that the ratios hold on a machine shared with other work.

#include <Zydis/Zydis.h>
#include <capstone/capstone.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench/summary_line.h"
#include "trace/pe/pe_file_view.h"
#include "trace/x86/x86_decoder.h"
#include "trace/x86/x86_text.h"

namespace {

struct Result {
  double mb_per_s = 0;
  double instructions_per_s = 0;
  uint64_t instructions = 0;
};

double g_seconds = 1.0;
int g_rounds = 10;

// One decoder under test: pass decodes the whole buffer once and returns the instructions.
struct Contestant {
  explicit Contestant(std::function<uint64_t()> p = {}) : pass(std::move(p)) {}

  std::function<uint64_t()> pass;
  Result best;
};

// Runs every contestant in turn, round after round, each for g_seconds / g_rounds per
// round, and keeps its best pass: on a shared machine all of them see the same load.
void Measure(size_t bytes, std::vector<Contestant*> contestants) {
  using Clock = std::chrono::steady_clock;
  for (int round = 0; round < g_rounds; ++round) {
    for (Contestant* contestant : contestants) {
      const auto start = Clock::now();
      do {
        const auto t0 = Clock::now();
        const uint64_t count = contestant->pass();
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        if (seconds <= 0) continue;
        const double mb = bytes / seconds / 1e6;
        if (mb > contestant->best.mb_per_s) {
          contestant->best.mb_per_s = mb;
          contestant->best.instructions_per_s = count / seconds;
          contestant->best.instructions = count;
        }
      } while (std::chrono::duration<double>(Clock::now() - start).count() < g_seconds / g_rounds);
    }
  }
}

void Print(const char* name, const Result& r, const Result& base) {
  std::printf("  %-34s %9.1f MB/s %12.0f instr/s  %6.2fx   (%llu instructions)\n", name, r.mb_per_s,
              r.instructions_per_s, base.mb_per_s > 0 ? r.mb_per_s / base.mb_per_s : 0,
              static_cast<unsigned long long>(r.instructions));
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = "/usr/lib/i386-linux-gnu/wine/i386-windows/shell32.dll";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      g_seconds = std::atof(argv[++i]);
    } else if (arg == "--rounds" && i + 1 < argc) {
      g_rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      path = arg;
    }
  }
  std::string error;
  const auto view = trace::PeFileView::Load(path, error);
  if (!view) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  std::vector<trace::MappedSection> code = view->CodeSections();
  if (code.empty()) {
    std::fprintf(stderr, "%s: no code section\n", path.c_str());
    return 1;
  }
  const trace::MappedSection text_section = code.front();
  std::vector<uint8_t> buffer(text_section.end - text_section.begin);
  view->Read(text_section.begin, buffer.data(), static_cast<uint32_t>(buffer.size()));
  const uint8_t* bytes = buffer.data();
  const size_t size = buffer.size();
  const uint32_t base = text_section.begin;
  std::printf("%s: %s, %zu bytes of code\n", path.c_str(), text_section.name.c_str(), size);

  // Decode only.
  Contestant ours{[&] {
    trace::X86Instruction in;
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count)
      at += trace::DecodeInstruction(bytes + at, size - at, base + static_cast<uint32_t>(at), in);
    return count;
  }};

  ZydisDecoder minimal;
  ZydisDecoderInit(&minimal, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  ZydisDecoderEnableMode(&minimal, ZYDIS_DECODER_MODE_MINIMAL, ZYAN_TRUE);
  ZydisDecoder full;
  ZydisDecoderInit(&full, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);

  Contestant zydis_minimal{[&] {
    ZydisDecodedInstruction in;
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      const bool ok = ZYAN_SUCCESS(
          ZydisDecoderDecodeInstruction(&minimal, nullptr, bytes + at, size - at, &in));
      at += ok ? in.length : 1;
    }
    return count;
  }};
  Contestant zydis_full{[&] {
    ZydisDecodedInstruction in;
    ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      const bool ok =
          ZYAN_SUCCESS(ZydisDecoderDecodeFull(&full, bytes + at, size - at, &in, operands));
      at += ok ? in.length : 1;
    }
    return count;
  }};

  // Decode plus text.
  Contestant ours_text{[&] {
    trace::X86Instruction in;
    std::string line;
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      at += trace::DecodeInstruction(bytes + at, size - at, base + static_cast<uint32_t>(at), in);
      line.clear();
      trace::AppendInstructionText(in, *view, line, {}, false);
    }
    return count;
  }};
  Contestant ours_comments{[&] {
    trace::X86Instruction in;
    std::string line;
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      at += trace::DecodeInstruction(bytes + at, size - at, base + static_cast<uint32_t>(at), in);
      line.clear();
      trace::AppendInstructionText(in, *view, line);
    }
    return count;
  }};
  ZydisFormatter formatter;
  ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL);
  Contestant zydis_text{[&] {
    ZydisDecodedInstruction in;
    ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
    char line[256];
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      if (ZYAN_SUCCESS(ZydisDecoderDecodeFull(&full, bytes + at, size - at, &in, operands))) {
        ZydisFormatterFormatInstruction(&formatter, &in, operands, in.operand_count_visible, line,
                                        sizeof(line), base + at, nullptr);
        at += in.length;
      } else {
        at += 1;
      }
    }
    return count;
  }};

  csh capstone;
  Contestant capstone_text;
  cs_insn* insn = nullptr;
  if (cs_open(CS_ARCH_X86, CS_MODE_32, &capstone) == CS_ERR_OK) {
    cs_option(capstone, CS_OPT_DETAIL, CS_OPT_OFF);
    insn = cs_malloc(capstone);
    capstone_text.pass = [&] {
      uint64_t count = 0;
      size_t at = 0;
      while (at < size) {
        const uint8_t* code_at = bytes + at;
        size_t left = size - at;
        uint64_t address = base + at;
        if (cs_disasm_iter(capstone, &code_at, &left, &address, insn)) {
          at = static_cast<size_t>(code_at - bytes);
        } else {
          at += 1;
        }
        ++count;
      }
      return count;
    };
  }

  Measure(size, {&ours, &zydis_minimal, &zydis_full});
  std::vector<Contestant*> text = {&ours_text, &ours_comments, &zydis_text};
  if (capstone_text.pass) text.push_back(&capstone_text);
  Measure(size, text);
  if (capstone_text.pass) {
    cs_free(insn, 1);
    cs_close(&capstone);
  }

  std::printf("decode only (ratio to Zydis minimal):\n");
  Print("ours", ours.best, zydis_minimal.best);
  Print("Zydis 4 minimal mode", zydis_minimal.best, zydis_minimal.best);
  Print("Zydis 4 full mode (with operands)", zydis_full.best, zydis_minimal.best);
  std::printf("decode plus text (ratio to Zydis full + Intel formatter):\n");
  Print("ours (no comments)", ours_text.best, zydis_text.best);
  Print("ours (with name/string comments)", ours_comments.best, zydis_text.best);
  Print("Zydis 4 full + formatter", zydis_text.best, zydis_text.best);
  Print("Capstone 4 (detail off, always text)", capstone_text.best, zydis_text.best);
  bench::PrintSummaryLine("x86 decode only", ours.best.mb_per_s, "MB/s", "Zydis 4 minimal mode",
                          zydis_minimal.best.mb_per_s);
  bench::PrintSummaryLine("x86 decode plus text", ours_text.best.mb_per_s, "MB/s",
                          "Zydis 4 full + Intel formatter", zydis_text.best.mb_per_s);
  if (capstone_text.pass) {
    bench::PrintSummaryLine("x86 decode plus text", ours_text.best.mb_per_s, "MB/s",
                            "Capstone 4 (detail off)", capstone_text.best.mb_per_s);
  }
  return 0;
}
