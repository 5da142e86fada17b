// Decoder speed: the .text of a large Wine DLL decoded linearly by our decoder, by Zydis 4
// (minimal and full mode) and by Capstone 4, decode-only and decode-plus-text, in MB/s and
// instructions/s with the ratios to Zydis. Build it in a Release tree:
//
//   x86_decoder_bench [DLL] [--seconds S]

#include <Zydis/Zydis.h>
#include <capstone/capstone.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "trace/pe_file_view.h"
#include "trace/x86_decoder.h"
#include "trace/x86_text.h"

namespace {

struct Result {
  double mb_per_s = 0;
  double instructions_per_s = 0;
  uint64_t instructions = 0;
};

double g_seconds = 1.0;

// Runs pass (which returns the instructions it decoded) repeatedly for g_seconds and keeps
// the best pass.
Result Measure(size_t bytes, const std::function<uint64_t()>& pass) {
  using Clock = std::chrono::steady_clock;
  Result best;
  const auto start = Clock::now();
  do {
    const auto t0 = Clock::now();
    const uint64_t count = pass();
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    if (seconds <= 0) continue;
    const double mb = bytes / seconds / 1e6;
    if (mb > best.mb_per_s) {
      best.mb_per_s = mb;
      best.instructions_per_s = count / seconds;
      best.instructions = count;
    }
  } while (std::chrono::duration<double>(Clock::now() - start).count() < g_seconds);
  return best;
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
  const Result ours = Measure(size, [&] {
    trace::X86Instruction in;
    uint64_t count = 0;
    for (size_t at = 0; at < size; at += in.length, ++count)
      trace::DecodeInstruction(bytes + at, size - at, base + static_cast<uint32_t>(at), in);
    return count;
  });

  ZydisDecoder minimal;
  ZydisDecoderInit(&minimal, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
  ZydisDecoderEnableMode(&minimal, ZYDIS_DECODER_MODE_MINIMAL, ZYAN_TRUE);
  ZydisDecoder full;
  ZydisDecoderInit(&full, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);

  const Result zydis_minimal = Measure(size, [&] {
    ZydisDecodedInstruction in;
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      const bool ok = ZYAN_SUCCESS(
          ZydisDecoderDecodeInstruction(&minimal, nullptr, bytes + at, size - at, &in));
      at += ok ? in.length : 1;
    }
    return count;
  });
  const Result zydis_full = Measure(size, [&] {
    ZydisDecodedInstruction in;
    ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
    uint64_t count = 0;
    for (size_t at = 0; at < size; ++count) {
      const bool ok =
          ZYAN_SUCCESS(ZydisDecoderDecodeFull(&full, bytes + at, size - at, &in, operands));
      at += ok ? in.length : 1;
    }
    return count;
  });

  // Decode plus text.
  const Result ours_text = Measure(size, [&] {
    trace::X86Instruction in;
    std::string line;
    uint64_t count = 0;
    for (size_t at = 0; at < size; at += in.length, ++count) {
      trace::DecodeInstruction(bytes + at, size - at, base + static_cast<uint32_t>(at), in);
      line.clear();
      trace::AppendInstructionText(in, *view, line, {}, false);
    }
    return count;
  });
  const Result ours_comments = Measure(size, [&] {
    trace::X86Instruction in;
    std::string line;
    uint64_t count = 0;
    for (size_t at = 0; at < size; at += in.length, ++count) {
      trace::DecodeInstruction(bytes + at, size - at, base + static_cast<uint32_t>(at), in);
      line.clear();
      trace::AppendInstructionText(in, *view, line);
    }
    return count;
  });
  ZydisFormatter formatter;
  ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL);
  const Result zydis_text = Measure(size, [&] {
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
  });

  csh capstone;
  Result capstone_text;
  if (cs_open(CS_ARCH_X86, CS_MODE_32, &capstone) == CS_ERR_OK) {
    cs_option(capstone, CS_OPT_DETAIL, CS_OPT_OFF);
    cs_insn* insn = cs_malloc(capstone);
    capstone_text = Measure(size, [&] {
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
    });
    cs_free(insn, 1);
    cs_close(&capstone);
  }

  std::printf("decode only (ratio to Zydis minimal):\n");
  Print("ours", ours, zydis_minimal);
  Print("Zydis 4 minimal mode", zydis_minimal, zydis_minimal);
  Print("Zydis 4 full mode (with operands)", zydis_full, zydis_minimal);
  std::printf("decode plus text (ratio to Zydis full + Intel formatter):\n");
  Print("ours (no comments)", ours_text, zydis_text);
  Print("ours (with name/string comments)", ours_comments, zydis_text);
  Print("Zydis 4 full + formatter", zydis_text, zydis_text);
  Print("Capstone 4 (detail off, always text)", capstone_text, zydis_text);
  return 0;
}
