// DrawHTML on the GDI surface against one DrawTextA of the same plain text,
// word-wrapped in the same rectangle with the same font, on a memory device
// context: the welcome window's link and the 4 KB sample that uses every
// tag, in a rectangle as high as its text. Each DrawHTML call gets a surface of its own, as each
// paint of the label does; both sides are timed in alternating rounds, best round kept. Prints
// milliseconds per call, the ratio, and how much of DrawHTML's time goes to the system's text
// calls.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/htmlabel_markup_sample.h"
#include "bench/summary_line.h"
#include "htmlabel/draw_html.h"
#include "htmlabel/gdi_surface.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

// Time spent in the system's text calls, and their number.
struct TextTime {
  double seconds = 0;
  long calls = 0;
};

// The GDI surface, timing the text calls that reach the system.
class TimedSurface : public htmlabel::GdiSurface {
 public:
  TimedSurface(HDC dc, const htmlabel::Font& font, TextTime* time)
      : GdiSurface(dc, font, 0xFFFFFF), time_(time) {}

  int DrawText(std::string_view text, htmlabel::Rect* rect, unsigned format) override {
    const double start = Now();
    const int height = GdiSurface::DrawText(text, rect, format);
    time_->seconds += Now() - start;
    ++time_->calls;
    return height;
  }
  htmlabel::Size TextExtent(std::string_view text) override {
    const double start = Now();
    const htmlabel::Size size = GdiSurface::TextExtent(text);
    time_->seconds += Now() - start;
    ++time_->calls;
    return size;
  }

 private:
  TextTime* time_;
};

struct Figures {
  double markup_ms = 0;     // DrawHTML per call
  double plain_ms = 0;      // DrawTextA of the plain text per call
  double text_share = 0;    // part of DrawHTML's time inside text calls
  double text_calls = 0;    // text calls per DrawHTML
  double system_calls = 0;  // of them, the ones that reached the system
};

// Runs work repeatedly for about seconds; milliseconds per run.
template <class Work>
double Time(Work work, double seconds, long* runs) {
  const double start = Now();
  long n = 0;
  do {
    work();
    ++n;
  } while (Now() - start < seconds);
  *runs = n;
  return (Now() - start) * 1000 / n;
}

constexpr int kRounds = 7;             // alternating rounds of markup and plain text
constexpr double kRoundSeconds = 0.3;  // each side's time per round

// DrawHTML and the plain DrawTextA are timed in alternating short rounds and
// each keeps its best round, so that both are measured in the same state of
// the machine (under the emulator its speed changes by half from one second
// to the next).
Figures Measure(HDC dc, const std::string& markup, const htmlabel::Rect& bounds) {
  htmlabel::Font font;
  font.name = "Arial";
  font.size = 8;
  font.color = 0x800000;
  Figures figures;
  long runs = 0;
  std::string plain;
  htmlabel::DrawHtmlArgs args;
  args.Bounds = bounds;
  auto draw_markup = [&] {
    htmlabel::GdiSurface surface(dc, font, 0xFFFFFF);
    htmlabel::DrawHtmlResults results;
    htmlabel::DrawHTML(surface, markup, args, results);
    plain = results.PlainText;
  };
  draw_markup();
  // The same text as one block: the system's own word wrapping.
  htmlabel::GdiSurface plain_surface(dc, font, 0xFFFFFF);
  plain_surface.SetBackgroundMode(htmlabel::BackgroundMode::kTransparent);
  auto draw_plain = [&] {
    htmlabel::Rect rect = bounds;
    plain_surface.DrawText(plain, &rect, DT_WORDBREAK | DT_EXPANDTABS | DT_EXTERNALLEADING);
  };
  figures.markup_ms = figures.plain_ms = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    figures.markup_ms = std::min(figures.markup_ms, Time(draw_markup, kRoundSeconds, &runs));
    figures.plain_ms = std::min(figures.plain_ms, Time(draw_plain, kRoundSeconds, &runs));
  }
  {
    // Once more with the text calls timed (the timing itself costs a little).
    TextTime time;
    long system_calls = 0;
    const double timed_ms = Time(
        [&] {
          TimedSurface surface(dc, font, &time);
          htmlabel::DrawHtmlResults results;
          htmlabel::DrawHTML(surface, markup, args, results);
          surface.Flush();
          system_calls += surface.SystemTextCalls();
        },
        1.0, &runs);
    figures.text_share = time.seconds * 1000 / runs / timed_ms;
    figures.text_calls = static_cast<double>(time.calls) / runs;
    figures.system_calls = static_cast<double>(system_calls) / runs;
  }
  return figures;
}

// The sample's height laid out 400 pixels wide: the rectangle of a label
// sized to its text.
int SampleHeight(HDC dc, const std::string& markup) {
  htmlabel::Font font;
  font.name = "Arial";
  font.size = 8;
  htmlabel::GdiSurface surface(dc, font, 0xFFFFFF);
  htmlabel::DrawHtmlArgs args;
  args.Bounds = {0, 0, 400, 4000};
  args.MeasureOnly = true;
  htmlabel::DrawHtmlResults results;
  htmlabel::DrawHTML(surface, markup, args, results);
  return std::min(results.ExtentY, 4000);
}

void Print(const char* name, std::size_t bytes, const Figures& f) {
  std::printf(
      "%-14s %5zu bytes  DrawHTML %8.3f ms  DrawTextA %8.3f ms  ratio %5.2f  "
      "text calls %5.0f per DrawHTML (%5.0f reach the system), %4.1f %% of its time\n",
      name, bytes, f.markup_ms, f.plain_ms, f.markup_ms / f.plain_ms, f.text_calls, f.system_calls,
      100 * f.text_share);
}

}  // namespace

int main() {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 420, 4000);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);

  const std::string welcome = bench::kWelcomeMarkup;
  const Figures link = Measure(dc, welcome, {0, 0, 145, 17});
  Print("welcome link", welcome.size(), link);
  const std::string sample = bench::MarkupSample();
  const Figures big = Measure(dc, sample, {0, 0, 400, SampleHeight(dc, sample)});
  Print("4 KB sample", sample.size(), big);
  bench::PrintSummaryLine("label, GDI surface: welcome link", link.markup_ms, "ms",
                          "DrawTextA of the plain text", link.plain_ms);
  bench::PrintSummaryLine("label, GDI surface: 4 KB sample", big.markup_ms, "ms",
                          "DrawTextA of the plain text", big.plain_ms);

  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return 0;
}
