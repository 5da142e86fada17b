// One figure of a benchmark in the form scripts/bench collects into its table:
//   BENCH|name|our figure|unit|anchor name|anchor figure|ratio
// The ratio is our figure divided by the anchor's, measured in the same run;
// a figure without an anchor has "-" for the anchor's name, figure and ratio.
#pragma once

#include <cstdio>

namespace bench {

// Prints one figure beside the anchor it is compared with.
inline void PrintSummaryLine(const char* name, double ours, const char* unit, const char* anchor,
                             double anchor_figure) {
  const double ratio = anchor_figure > 0 ? ours / anchor_figure : 0;
  std::printf("BENCH|%s|%.4g|%s|%s|%.4g|%.3f\n", name, ours, unit, anchor, anchor_figure, ratio);
  std::fflush(stdout);
}

// Prints one figure that has no anchor.
inline void PrintSummaryLine(const char* name, double ours, const char* unit) {
  std::printf("BENCH|%s|%.4g|%s|-|-|-\n", name, ours, unit);
  std::fflush(stdout);
}

}  // namespace bench
