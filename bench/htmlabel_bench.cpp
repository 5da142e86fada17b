// Layout speed of DrawHTML on the recording surface (recording off), so that
// the renderer's own cost shows without any system text measuring: the
// welcome window's link and the 4 KB sample, microseconds per call.
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/htmlabel_markup_sample.h"
#include "bench/summary_line.h"
#include "htmlabel/draw_html.h"
#include "tests/htmlabel/test_surface.h"

namespace {

// Microseconds per call of DrawHTML over about a second, best of three rounds.
double MicrosecondsPerCall(const std::string& markup, const htmlabel::Rect& bounds, long* calls) {
  htmlabel::TestSurface surface(/*record=*/false);
  htmlabel::Font font;
  font.name = "Arial";
  font.size = 8;
  surface.SetFont(font);
  htmlabel::DrawHtmlArgs args;
  args.Bounds = bounds;
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    long n = 0;
    double elapsed = 0;
    do {
      htmlabel::DrawHtmlResults results;
      htmlabel::DrawHTML(surface, markup, args, results);
      ++n;
      elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < 0.3);
    best = std::min(best, elapsed * 1e6 / n);
  }
  *calls = surface.CallCount();
  return best;
}

}  // namespace

int main() {
  long calls = 0;
  const double welcome = MicrosecondsPerCall(bench::kWelcomeMarkup, {0, 0, 145, 17}, &calls);
  std::printf("DrawHTML on the test surface, welcome link (59 bytes): %.2f us per call\n", welcome);
  const std::string sample = bench::MarkupSample();
  const double big = MicrosecondsPerCall(sample, {0, 0, 400, 100000}, &calls);
  std::printf("DrawHTML on the test surface, sample (%zu bytes): %.1f us per call\n", sample.size(),
              big);
  bench::PrintSummaryLine("label, recording surface: welcome link", welcome, "us");
  bench::PrintSummaryLine("label, recording surface: 4 KB sample", big, "us");
  return 0;
}
