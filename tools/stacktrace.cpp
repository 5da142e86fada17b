// stacktrace: the stack tracer of the bug report on a stack replayed from PE files and a dump.
//
//   stacktrace [--relative] [--hide] [--items] [--9x] --module FILE[@BASE]... DUMP
//   stacktrace [--relative] [--hide] --self          (the Windows build)
//
// Maps every FILE at BASE (hexadecimal; its image base when omitted; moved by its relocations
// otherwise), binds the modules' imports to each other's exports, adds the stack of DUMP (the
// text docs/formats.md describes; "-" reads standard input) and prints the trace as the bug
// report would, with LF line ends. --relative prints entry + offset, --hide leaves out items
// without line numbers after the first with one, --9x joins window-procedure chains as on the
// Windows 9x family, --items also prints every stack item the stages left, with its links.
// Symbol data comes from each FILE (embedded block, TD32, ".map" or ".kiv" beside it).
// --self traces the tool's own threads live instead (a worker waiting three calls deep, the
// calling thread), with the process's own modules and symbol data.

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/address_argument.h"
#include "trace/stack/replay_address_space.h"
#include "trace/stack/stack_dump.h"
#include "trace/stack/stack_trace.h"

#ifdef _WIN32
#include "tools/stacktrace_self_win.h"
#endif

namespace {

// Largest dump text read: a full dump of kMaxStackDumpBytes is about 40 MB of text.
constexpr uint64_t kMaxDumpText = 128u << 20;

struct ModuleArgument {
  std::string path;
  std::optional<uint32_t> base;
};

struct Options {
  bool relative = false;
  bool hide = false;
  bool items = false;
  bool is_9x = false;
  bool self = false;
  std::vector<ModuleArgument> modules;
  std::string dump;
};

int Usage() {
  std::fprintf(stderr,
               "usage: stacktrace [--relative] [--hide] [--items] [--9x] --module FILE[@BASE]... "
               "DUMP\n"
               "       stacktrace [--relative] [--hide] --self    (Windows)\n");
  return 2;
}

bool ParseModule(const std::string& text, ModuleArgument& module) {
  const size_t at = text.rfind('@');
  module.path = text.substr(0, at);
  if (at == std::string::npos) return !module.path.empty();
  uint32_t base = 0;
  if (!tools::ParseAddress(text.substr(at + 1), base)) return false;
  module.base = base;
  return !module.path.empty();
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--relative") {
      options.relative = true;
    } else if (arg == "--hide") {
      options.hide = true;
    } else if (arg == "--items") {
      options.items = true;
    } else if (arg == "--9x") {
      options.is_9x = true;
    } else if (arg == "--self") {
      options.self = true;
    } else if (arg == "--module" && i + 1 < argc) {
      ModuleArgument module;
      if (!ParseModule(argv[++i], module)) {
        std::fprintf(stderr, "stacktrace: not FILE or FILE@BASE: %s\n", argv[i]);
        return false;
      }
      options.modules.push_back(module);
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return false;
    } else if (options.dump.empty()) {
      options.dump = arg;
    } else {
      return false;
    }
  }
  return options.self ? options.dump.empty() && options.modules.empty() : !options.dump.empty();
}

// The whole text of the file name ("-": standard input), at most kMaxDumpText bytes.
bool ReadText(const std::string& name, std::string& text, std::string& error) {
  FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot open " + name;
    return false;
  }
  char buffer[65536];
  size_t count = 0;
  bool too_long = false;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (text.size() + count > kMaxDumpText) {
      too_long = true;
      break;
    }
    text.append(buffer, count);
  }
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  if (too_long) error = name + ": more than " + std::to_string(kMaxDumpText >> 20) + " MB";
  if (failed) error = "cannot read " + name;
  return !too_long && !failed;
}

// The report's CR LF line ends as LF.
void PrintText(const std::string& text) {
  std::string lines;
  lines.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  if (!lines.empty() && lines.back() != '\n') lines += '\n';
  std::fwrite(lines.data(), 1, lines.size(), stdout);
}

void PrintLinks(const trace::TStackLinkList& list, const char* side) {
  for (size_t i = 0; i < list.links.size(); ++i) {
    const trace::TStackLink& link = list.links[i];
    std::printf("      %s%s other %d call %08x target %s%08x function %d score %016" PRIx64 "\n",
                side, static_cast<int>(i) == list.best ? "*" : " ", link.other,
                static_cast<unsigned>(link.call_address), link.target_known ? "" : "?",
                static_cast<unsigned>(link.target), link.function,
                static_cast<uint64_t>(link.score));
  }
}

// Every item the stages left, innermost last as in the list, for engineers.
void PrintItems(const trace::TStackTraceRun& run) {
  std::printf("\nfindings: exception address %08x, function entry %08x\n",
              static_cast<unsigned>(run.findings.exception_address),
              static_cast<unsigned>(run.findings.function_entry));
  std::printf("items: %zu\n", run.items.size());
  for (size_t i = 0; i < run.items.size(); ++i) {
    const trace::TStackItem& item = run.items[i];
    std::string flags;
    if (item.certain) flags += " certain";
    if (item.stop) flags += " stop";
    if (item.removed) flags += " removed";
    std::printf("  %3zu slot %08x address %08x module %d frame-link %d next %d%s\n", i,
                static_cast<unsigned>(item.stack_position), static_cast<unsigned>(item.address),
                item.module_index, item.frame_link, item.next_in_chain, flags.c_str());
    if (!item.output.function_name.empty() || item.output.address != 0) {
      std::printf("      output %08x %s %s %d %s (entry %08x)\n",
                  static_cast<unsigned>(item.output.address), item.output.module_name.c_str(),
                  item.output.unit_name.c_str(), item.output.line,
                  item.output.function_name.c_str(), static_cast<unsigned>(item.output.entry));
    }
    PrintLinks(item.links[trace::kInnerSide], "inner");
    PrintLinks(item.links[trace::kOuterSide], "outer");
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  if (options.self) {
#ifdef _WIN32
    for (const tools::OwnThreadTrace& thread :
         tools::TraceOwnThreads(options.hide, options.relative)) {
      std::printf("thread %lu%s:\n", thread.thread_id, thread.calling_thread ? " (this one)" : "");
      PrintText(thread.text);
      std::printf("\n");
    }
    return 0;
#else
    std::fprintf(stderr,
                 "stacktrace: --self traces a running Windows process: use stacktrace.exe\n");
    return 2;
#endif
  }

  std::string error;
  std::string text;
  if (!ReadText(options.dump, text, error)) {
    std::fprintf(stderr, "stacktrace: %s\n", error.c_str());
    return 1;
  }
  const std::optional<trace::StackDump> dump = trace::ParseStackDump(text, error);
  if (!dump) {
    std::fprintf(stderr, "stacktrace: %s: %s\n", options.dump.c_str(), error.c_str());
    return 1;
  }

  trace::ReplayAddressSpace space;
  uint32_t main_module = 0;
  for (const ModuleArgument& module : options.modules) {
    if (!space.AddModule(module.path, module.base, error)) {
      std::fprintf(stderr, "stacktrace: %s\n", error.c_str());
      return 1;
    }
    const uint32_t base = space.ModuleBases().back();
    const auto info = space.ModuleOf(base);
    if (main_module == 0 && info && info->is_main) main_module = base;
  }
  for (const trace::StackDumpBlock& block : dump->blocks) {
    if (!space.AddMemory(block.base, block.bytes, error)) {
      std::fprintf(stderr, "stacktrace: %s: %s\n", options.dump.c_str(), error.c_str());
      return 1;
    }
  }

  trace::TStackTraceRequest request = dump->request;
  request.relative_addresses = options.relative;
  request.hide_items_without_lines = options.hide;
  trace::TraceState state(space, space.Symbols(), main_module, options.is_9x, nullptr);
  if (options.items) {
    const trace::TStackTraceRun run = trace::RunStackTrace(state, request);
    PrintText(run.text);
    PrintItems(run);
  } else {
    PrintText(trace::StackTrace(state, request));
  }
  return 0;
}
