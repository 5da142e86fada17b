// The truth figure of the stack tracer: over the crash-like scenarios of the chains' program
// (tests/stack/replay_scenarios.h), the frames of the real chains the trace found (a line at
// the frame's call address), named (module, unit, line and function as the source has them)
// and the lines it printed that belong to no frame (spurious). Frames a trace cannot name
// by design (a function of a DLL without symbol data and without export) are not counted.
// Prints one row a scenario and the totals; exits 1 when the program cannot be loaded.
//
//   stack_replay_truth [--traces] [--dumps FOLDER]
//
// --traces also prints every trace; --dumps writes each scenario's stack as a dump file
// (docs/formats.md) named after it, for the stacktrace tool.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/stack/replay_scenarios.h"

int main(int argc, char** argv) {
  using namespace trace::testing;
  bool print_traces = false;
  std::string dumps;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--traces") == 0) {
      print_traces = true;
    } else if (std::strcmp(argv[i], "--dumps") == 0 && i + 1 < argc) {
      dumps = argv[++i];
    } else {
      std::fprintf(stderr, "usage: stack_replay_truth [--traces] [--dumps FOLDER]\n");
      return 2;
    }
  }
  ChainWorld world;
  std::string error;
  if (!world.Load(error)) {
    std::fprintf(stderr, "stack_replay_truth: %s\n", error.c_str());
    return 1;
  }
  // Twice: as the scenarios are, and with the outermost function's entry given as the
  // thread's start address (the outermost certain item).
  for (const bool with_start : {false, true}) {
    std::printf("%s\n%-48s %6s %6s %6s %9s\n",
                with_start ? "\nwith the outermost function as thread start:" : "as found:",
                "scenario", "frames", "found", "named", "spurious");
    int frames = 0, found = 0, named = 0, spurious = 0, scenarios = 0;
    for (Scenario scenario : AllScenarios(world)) {
      if (!scenario.missing.empty()) {
        std::printf("%-48s not built:%s\n", scenario.name.c_str(), scenario.missing.c_str());
        continue;
      }
      if (with_start && scenario.thread_start == 0) {
        const Hop& outermost = scenario.hops.front();
        scenario.thread_start = world.Function(outermost.function);
        scenario.expected.push_back(
            {scenario.thread_start, "chains.exe " + outermost.unit + " " +
                                        std::to_string(world.map->LineAt(scenario.thread_start)) +
                                        " " + outermost.function});
      }
      const StackLayout stack = LayOut(scenario);
      const trace::TStackTraceRun run = world.Trace(stack, FaultRequest(scenario));
      if (!dumps.empty() && !with_start) {
        trace::StackDump dump{FaultRequest(scenario), {stack.Block()}};
        dump.request.stack_begin = stack.esp();
        dump.request.stack_end = stack.end();
        std::string file = scenario.name;
        for (char& c : file)
          if (c == ' ' || c == ',') c = '_';
        std::ofstream(dumps + "/" + file + ".dump") << trace::FormatStackDump(dump);
      }
      const std::vector<TraceLine> lines = TraceLines(run.text);
      int row_found = 0, row_named = 0, row_spurious = 0;
      std::vector<bool> used(scenario.expected.size());
      for (const TraceLine& line : lines) {
        bool matched = false;
        for (size_t i = 0; i < scenario.expected.size() && !matched; ++i) {
          if (used[i] || scenario.expected[i].address != line.address) continue;
          used[i] = matched = true;
          ++row_found;
          if (scenario.expected[i].words == line.words) ++row_named;
        }
        if (!matched) ++row_spurious;
      }
      const int row_frames = static_cast<int>(scenario.expected.size());
      std::printf("%-48s %6d %6d %6d %9d\n", scenario.name.c_str(), row_frames, row_found,
                  row_named, row_spurious);
      if (print_traces) std::printf("%s\n\n", run.text.c_str());
      frames += row_frames;
      found += row_found;
      named += row_named;
      spurious += row_spurious;
      ++scenarios;
    }
    std::printf("%-48s %6d %6d %6d %9d\n",
                ("total (" + std::to_string(scenarios) + " scenarios)").c_str(), frames, found,
                named, spurious);
  }
  return 0;
}
