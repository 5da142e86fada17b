// Paints arbitrary markup as the label does and hit-tests a point, with the
// label's settings taken from the input: bevels, borders of any width,
// vertical alignment, automatic sizing, ellipsis, hover. The first twelve
// bytes choose the settings, the size and the point; the rest is the markup.
// Checks that both end, that a miss reports no anchor and no box, that a hit
// has a number, and that automatic sizing asks for a size that holds the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "htmlabel/label_layout.h"
#include "tests/htmlabel/test_surface.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace htmlabel;
  if (size < 12) return 0;
  LabelLook look;
  look.bevel_outer = static_cast<TBevelCut>(data[0] & 3);
  look.bevel_inner = static_cast<TBevelCut>((data[0] >> 2) & 3);
  look.border_style = (data[0] & 16) ? TLabelBorderStyle::bsSingle : TLabelBorderStyle::bsNone;
  look.transparent = data[0] & 32;
  look.hover = data[0] & 64;
  look.ellipsis = data[0] & 128;
  look.auto_sizing = data[1] & 1;
  look.auto_size_type = static_cast<TAutoSizeType>((data[1] >> 1) % 3);
  look.valignment = static_cast<TVAlignment>((data[1] >> 3) % 3);
  look.align = static_cast<TAlign>((data[1] >> 5) % 6);
  look.bevel_width = static_cast<int8_t>(data[2]) * 3;
  look.border_width = static_cast<int8_t>(data[3]) * 5;
  look.shadow_offset = static_cast<int8_t>(data[4]);
  const int width = (data[5] | data[6] << 8) - 1000;
  const int height = (data[7] | data[8] << 8) - 1000;
  const int x = data[9] * 2 - 20;
  const int y = data[10] * 2 - 20;
  const int hover_index = static_cast<int8_t>(data[11]);
  const std::string_view markup(reinterpret_cast<const char*>(data + 12), size - 12);

  TestSurface surface(/*record=*/false);
  Font font;
  font.size = 10;
  surface.SetFont(font);
  const LabelPaintResult painted =
      PaintLabel(surface, look, markup, width, height, Point{x, y}, hover_index);
  Check(surface.GetFont() == font, "the surface gets its font back");
  Check(painted.extent_y > 0, "the text has a height");
  if (look.auto_sizing) {
    // Either unchanged (negative sizes count as 0) or the text's size plus 6.
    Check(painted.new_height == std::max(height, 0) || painted.new_height == painted.extent_y + 6,
          "automatic height holds the text");
    Check(painted.new_width == std::max(width, 0) || painted.new_width == painted.extent_x + 6,
          "automatic width holds the text");
  }
  const AnchorHit hit = AnchorAt(surface, look, markup, width, height, x, y);
  if (hit.index == -1) {
    Check(hit.target.empty(), "a miss has no target");
    Check(hit.box == (Rect{-1, -1, -1, -1}), "a miss has no box");
  } else {
    Check(hit.index >= 1, "anchors are numbered from 1");
  }
  return 0;
}
