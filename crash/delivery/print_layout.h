// Where a printed report goes on the page: the margins in device units and the lines the
// report is printed as.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace crash {

// What a printer's device context tells of its page (GetDeviceCaps).
struct PageFacts {
  int width_pixels = 0;     // HORZRES
  int height_pixels = 0;    // VERTRES
  int width_mm = 0;         // HORZSIZE
  int height_mm = 0;        // VERTSIZE
  int offset_x_pixels = 0;  // PHYSICALOFFSETX
  int offset_y_pixels = 0;  // PHYSICALOFFSETY
};

// The printable area in device units (MM_TEXT).
struct PrintArea {
  int left = 0, top = 0, right = 0;  // the text runs from left to right
  int height = 0;                    // the lines go from top down to top + height
};

// Margins of 20 mm left, 10 mm right, top and bottom, each less the physical offset;
// the printable height is the page's less twice the top margin.
PrintArea PagePrintArea(const PageFacts& page);

// The report's lines, split at CR LF; an empty line becomes a single blank.
std::vector<std::string> PrintLines(std::string_view report);

// The font height of 8 points at the given pixels per inch: -(dpi * 8 / 72).
int CourierHeight(int pixels_per_inch);

}  // namespace crash
