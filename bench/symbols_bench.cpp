// Speed of the symbol data a program carries: loading its embedded block (decipher, inflate,
// arrays built) and answering unit, public and line by address, beside addr2line answering
// the same addresses from the program's DWARF.
//
//   symbols_bench [--addr2line PROGRAM] [--lookups N] [--addr2line-samples N] EXE
//
// EXE carries the block (the shipped or the unstripped program); addr2line needs the
// unstripped one. Build in a Release tree.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/summary_line.h"
#include "trace/pe/pe_file_view.h"
#include "trace/pe/pe_resource.h"
#include "trace/symbols/map_file.h"
#include "trace/symbols/symbol_block_key.h"
#include "trace/symbols/symbol_block_reader.h"
#include "trace/symbols/symbol_sources.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Keeps the optimiser from dropping the look-ups.
volatile uint64_t sink = 0;

}  // namespace

int main(int argc, char** argv) {
  std::string addr2line = "i686-w64-mingw32-addr2line";
  std::string exe;
  size_t lookups = 10'000'000;
  size_t addr2line_samples = 20'000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--addr2line" && i + 1 < argc) {
      addr2line = argv[++i];
    } else if (arg == "--lookups" && i + 1 < argc) {
      lookups = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--addr2line-samples" && i + 1 < argc) {
      addr2line_samples = std::strtoul(argv[++i], nullptr, 10);
    } else if (exe.empty()) {
      exe = arg;
    } else {
      std::fprintf(stderr,
                   "usage: symbols_bench [--addr2line PROGRAM] [--lookups N] "
                   "[--addr2line-samples N] EXE\n");
      return 2;
    }
  }
  if (exe.empty()) return 2;
  std::string error;
  const auto view = trace::PeFileView::Load(exe, error);
  if (!view) {
    std::fprintf(stderr, "symbols_bench: %s\n", error.c_str());
    return 1;
  }
  const auto block = trace::FindResourceData(*view, view->image_base(), trace::kSymbolResourceType,
                                             trace::kSymbolResourceName);
  if (!block) {
    std::fprintf(stderr, "symbols_bench: %s carries no symbol block\n", exe.c_str());
    return 1;
  }

  // Load: the whole path from the block's bytes to a map that answers.
  constexpr int kLoads = 50;
  double best_load = 1e9;
  trace::TMapFile map;
  for (int i = 0; i < kLoads; ++i) {
    trace::TMapFile fresh;
    fresh.SetModule(view->image_base(), exe);
    const auto start = Clock::now();
    trace::SetModuleRanges(*view, view->image_base(), fresh);
    const bool ok = trace::ReadSymbolBlock(*block, fresh);
    best_load = std::min(best_load, Seconds(start));
    if (!ok) return 1;
    map = std::move(fresh);
  }
  std::printf("block: %zu bytes; %zu segments, %zu publics, %zu lines\n", block->size(),
              map.segments().size(), map.publics().size(), map.lines().size());
  std::printf("load (decipher, inflate, arrays): %.3f ms (best of %d)\n", best_load * 1e3, kLoads);

  // Random addresses inside the code.
  const auto& code = view->CodeSections();
  if (code.empty()) return 1;
  std::mt19937 random(1208);
  std::uniform_int_distribution<uint32_t> pick(code[0].begin, code[0].end - 1);
  std::vector<uint32_t> addresses(1 << 16);
  for (uint32_t& address : addresses)
    address = pick(random);
  const size_t mask = addresses.size() - 1;

  auto rate = [&](const char* what, auto&& lookup) {
    const auto start = Clock::now();
    for (size_t i = 0; i < lookups; ++i)
      lookup(addresses[i & mask]);
    const double seconds = Seconds(start);
    std::printf("%-7s %6.2f M look-ups/s (%.1f ns each)\n", what,
                static_cast<double>(lookups) / seconds / 1e6,
                seconds * 1e9 / static_cast<double>(lookups));
    return static_cast<double>(lookups) / seconds / 1e6;
  };
  const double public_rate =
      rate("public", [&](uint32_t a) { sink = sink + map.PublicAt(a).address; });
  rate("unit", [&](uint32_t a) { sink = sink + map.SegmentAt(a).start; });
  const double line_rate =
      rate("line", [&](uint32_t a) { sink = sink + static_cast<uint32_t>(map.LineAt(a)); });
  // For comparison: the same public search over the sorted array without copying the record
  // (PublicAt returns a copy with its name, which costs an allocation for longer names).
  const auto& publics = map.publics();
  rate("search", [&](uint32_t a) {
    const auto it = std::upper_bound(
        publics.begin(), publics.end(), a,
        [](uint32_t address, const trace::TMfPublic& p) { return address < p.address; });
    sink = sink + static_cast<uint64_t>(it - publics.begin());
  });

  // addr2line on the same kind of addresses, all in one run.
  char input_name[] = "/tmp/symbols_bench_XXXXXX";
  const int fd = mkstemp(input_name);
  if (fd < 0) return 1;
  {
    std::ofstream input(input_name);
    for (size_t i = 0; i < addr2line_samples; ++i) {
      char text[16];
      std::snprintf(text, sizeof text, "%x\n", addresses[i & mask]);
      input << text;
    }
  }
  const std::string command = addr2line + " -f -e '" + exe + "' < " + input_name + " > /dev/null";
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = Seconds(start);
  std::remove(input_name);
  bench::PrintSummaryLine("symbol block load", best_load * 1e3, "ms");
  if (status != 0) {
    std::printf("addr2line failed (it needs the unstripped program)\n");
    return 0;
  }
  const double addr2line_rate = static_cast<double>(addr2line_samples) / seconds / 1e6;
  std::printf("addr2line -f: %zu addresses in %.2f s, %.1f us each (%.3f M/s), start-up included\n",
              addr2line_samples, seconds, seconds * 1e6 / static_cast<double>(addr2line_samples),
              addr2line_rate);
  bench::PrintSummaryLine("symbols: function name by address", public_rate, "M/s",
                          "addr2line -f (start-up included)", addr2line_rate);
  bench::PrintSummaryLine("symbols: line by address", line_rate, "M/s",
                          "addr2line -f (start-up included)", addr2line_rate);
  return 0;
}
