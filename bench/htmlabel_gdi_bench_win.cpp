// DrawHTML on the GDI surface against one DrawTextA of the same plain text,
// word-wrapped in the same rectangle with the same font, on a memory device
// context: the welcome window's link, the 4 KB sample that uses every tag
// and the 4 KB sample with pictures over a tiled background, in a rectangle
// as high as its text. Each DrawHTML call gets a surface of its own, as each
// paint of the label does; both sides are timed in alternating rounds, best round kept. Prints
// milliseconds per call, the ratio, and how much of DrawHTML's time goes to the system's text
// calls.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/clock_win.h"
#include "bench/htmlabel_markup_sample.h"
#include "bench/summary_line.h"
#include "htmlabel/common_image_list_win.h"
#include "htmlabel/draw_html.h"
#include "htmlabel/gdi_surface.h"
#include "htmlabel/ole_picture_decoder_win.h"
#include "htmlabel/picture_container.h"

namespace {

using bench::Now;

// Time spent in the system's text calls, and their number; time spent in
// the picture calls (pictures, tiles, list images, system icons).
struct TextTime {
  double seconds = 0;
  long calls = 0;
  double picture_seconds = 0;
  long picture_calls = 0;
  double kind_seconds[6] = {};  // by kind: picture, tiles, list image, icon index, size, icon
};

constexpr const char* kPictureKinds[6] = {"pictures",   "tiles",     "list images",
                                          "icon index", "icon size", "icons"};

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
  void DrawPicture(const htmlabel::SurfacePicture& picture, const htmlabel::Rect& rect) override {
    Picture(0, [&] { GdiSurface::DrawPicture(picture, rect); });
  }
  void TilePicture(const htmlabel::SurfacePicture& picture, const htmlabel::Rect& area) override {
    Picture(1, [&] { GdiSurface::TilePicture(picture, area); });
  }
  void DrawListImage(const htmlabel::TImageList& list, int index,
                     const htmlabel::Rect& rect) override {
    Picture(2, [&] { GdiSurface::DrawListImage(list, index, rect); });
  }
  int SystemIconIndex(std::string_view name, bool large) override {
    int index = -1;
    Picture(3, [&] { index = GdiSurface::SystemIconIndex(name, large); });
    return index;
  }
  htmlabel::Size SystemIconSize(bool large) override {
    htmlabel::Size size;
    Picture(4, [&] { size = GdiSurface::SystemIconSize(large); });
    return size;
  }
  void DrawSystemIcon(int index, bool large, const htmlabel::Rect& rect) override {
    Picture(5, [&] { GdiSurface::DrawSystemIcon(index, large, rect); });
  }

 private:
  template <class Call>
  void Picture(int kind, Call call) {
    const double start = Now();
    call();
    const double spent = Now() - start;
    time_->picture_seconds += spent;
    time_->kind_seconds[kind] += spent;
    ++time_->picture_calls;
  }

  TextTime* time_;
};

struct Figures {
  double markup_ms = 0;      // DrawHTML per call
  double plain_ms = 0;       // DrawTextA of the plain text per call
  double text_share = 0;     // part of DrawHTML's time inside text calls
  double text_calls = 0;     // text calls per DrawHTML
  double system_calls = 0;   // of them, the ones that reached the system
  double picture_share = 0;  // part of DrawHTML's time inside picture calls
  double picture_calls = 0;  // picture calls per DrawHTML
  double kind_ms[6] = {};    // milliseconds per DrawHTML in each kind of picture call
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
Figures Measure(HDC dc, const std::string& markup, const htmlabel::Rect& bounds,
                htmlabel::DrawHtmlArgs args = {}) {
  htmlabel::Font font;
  font.name = "Arial";
  font.size = 8;
  font.color = 0x800000;
  Figures figures;
  long runs = 0;
  std::string plain;
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
    figures.picture_share = time.picture_seconds * 1000 / runs / timed_ms;
    figures.picture_calls = static_cast<double>(time.picture_calls) / runs;
    for (int kind = 0; kind < 6; ++kind)
      figures.kind_ms[kind] = time.kind_seconds[kind] * 1000 / runs;
  }
  return figures;
}

// The sample's height laid out 400 pixels wide: the rectangle of a label
// sized to its text.
int SampleHeight(HDC dc, const std::string& markup, htmlabel::DrawHtmlArgs args = {}) {
  htmlabel::Font font;
  font.name = "Arial";
  font.size = 8;
  htmlabel::GdiSurface surface(dc, font, 0xFFFFFF);
  args.Bounds = {0, 0, 400, 4000};
  args.MeasureOnly = true;
  htmlabel::DrawHtmlResults results;
  htmlabel::DrawHTML(surface, markup, args, results);
  return std::min(results.ExtentY, 4000);
}

// A 24-bit BMP file of width x height pixels, colour(x, y) as 0x00RRGGBB.
template <class Colour>
std::vector<std::uint8_t> Bmp(int width, int height, Colour colour) {
  const int stride = (width * 3 + 3) & ~3;
  std::vector<std::uint8_t> file(54 + static_cast<std::size_t>(stride) * height, 0);
  auto put32 = [&file](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = colour(x, y);
      std::uint8_t* p = &file[54 + static_cast<std::size_t>(height - 1 - y) * stride + 3 * x];
      p[0] = static_cast<std::uint8_t>(rgb);
      p[1] = static_cast<std::uint8_t>(rgb >> 8);
      p[2] = static_cast<std::uint8_t>(rgb >> 16);
    }
  }
  return file;
}

void Print(const char* name, std::size_t bytes, const Figures& f) {
  std::printf(
      "%-14s %5zu bytes  DrawHTML %8.3f ms  DrawTextA %8.3f ms  ratio %5.2f  "
      "text calls %5.0f per DrawHTML (%5.0f reach the system), %4.1f %% of its time; "
      "picture calls %4.0f, %4.1f %%\n",
      name, bytes, f.markup_ms, f.plain_ms, f.markup_ms / f.plain_ms, f.text_calls, f.system_calls,
      100 * f.text_share, f.picture_calls, 100 * f.picture_share);
  if (f.picture_calls == 0) return;
  std::printf("%-14s picture calls in ms per DrawHTML:", "");
  for (int kind = 0; kind < 6; ++kind)
    std::printf(" %s %.3f", kPictureKinds[kind], f.kind_ms[kind]);
  std::printf("\n");
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
  // The picture sample's pictures, drawn here.
  htmlabel::UseSystemPictureLoader();
  htmlabel::TPictureContainer container(nullptr);
  htmlabel::TPictureItem& logo = container.Items().Add();
  logo.SetName("logo");
  logo.Picture().LoadFromBytes(
      Bmp(24, 16, [](int x, int y) { return (x + y) % 5 ? 0x3060C0u : 0xF0C040u; }));
  htmlabel::TPictureItem& paper = container.Items().Add();
  paper.SetName("paper");
  paper.Picture().LoadFromBytes(
      Bmp(7, 5, [](int x, int y) { return x == 0 && y == 0 ? 0xE8E0D0u : 0xFFFCF4u; }));
  const std::unique_ptr<htmlabel::TCommonImageList> images =
      htmlabel::TCommonImageList::FromBmpStrip(
          Bmp(32, 16, [](int x, int y) { return x % 16 < 2 || y < 2 ? 0xFF00FFu : 0x20A040u; }), 16,
          RGB(255, 0, 255));
  htmlabel::DrawHtmlArgs picture_args;
  picture_args.PictureContainer = &container;
  picture_args.ImageList = images.get();
  const std::string pictures = bench::PictureSample();
  const Figures pictured =
      Measure(dc, pictures, {0, 0, 400, SampleHeight(dc, pictures, picture_args)}, picture_args);
  Print("4 KB pictures", pictures.size(), pictured);

  bench::PrintSummaryLine("label, GDI surface: welcome link", link.markup_ms, "ms",
                          "DrawTextA of the plain text", link.plain_ms);
  bench::PrintSummaryLine("label, GDI surface: 4 KB sample", big.markup_ms, "ms",
                          "DrawTextA of the plain text", big.plain_ms);
  bench::PrintSummaryLine("label, GDI surface: 4 KB with pictures", pictured.markup_ms, "ms",
                          "DrawTextA of the plain text", pictured.plain_ms);

  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return 0;
}
