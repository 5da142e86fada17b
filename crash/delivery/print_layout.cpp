#include "crash/delivery/print_layout.h"

namespace crash {

namespace {

// millimetres in device units at pixels per size_mm, rounded.
int MmToPixels(int mm, int pixels, int size_mm) {
  if (size_mm <= 0) return 0;
  const long long scaled = static_cast<long long>(mm) * pixels;
  return static_cast<int>((scaled * 2 + size_mm) / (2LL * size_mm));
}

}  // namespace

PrintArea PagePrintArea(const PageFacts& page) {
  const int left = MmToPixels(20, page.width_pixels, page.width_mm) - page.offset_x_pixels;
  const int right_margin = MmToPixels(10, page.width_pixels, page.width_mm) - page.offset_x_pixels;
  const int top = MmToPixels(10, page.height_pixels, page.height_mm) - page.offset_y_pixels;
  // An offset wider than the margin leaves none rather than a place off the page.
  PrintArea area;
  area.left = left < 0 ? 0 : left;
  area.top = top < 0 ? 0 : top;
  area.right = page.width_pixels - (right_margin < 0 ? 0 : right_margin);
  area.height = page.height_pixels - 2 * area.top;
  return area;
}

std::vector<std::string> PrintLines(std::string_view report) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = report.find("\r\n", start);
    std::string_view line =
        report.substr(start, end == std::string_view::npos ? report.npos : end - start);
    lines.emplace_back(line.empty() ? std::string_view(" ") : line);
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
  return lines;
}

int CourierHeight(int pixels_per_inch) {
  return -(pixels_per_inch * 8 / 72);
}

}  // namespace crash
