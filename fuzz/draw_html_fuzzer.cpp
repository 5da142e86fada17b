// Lays out arbitrary markup with DrawHTML on the recording test surface (not
// recording, only counting). The first eight bytes choose the flags, the area,
// the point to hit-test and the hovered and focused anchors; the rest is the
// markup. Checks that the call ends, the extents are non-negative and bounded,
// the anchor under the point is one of those counted, and the surface gets its
// font back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "htmlabel/draw_html.h"
#include "tests/htmlabel/test_surface.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

constexpr int kExtentLimit = 1 << 29;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint8_t flags = data[0];
  htmlabel::DrawHtmlArgs args;
  args.NoDraw = flags & 1;
  args.MeasureOnly = flags & 2;
  args.WrapWords = !(flags & 4);
  args.HoverOnly = flags & 8;
  args.Selected = flags & 16;
  args.BlinkOn = flags & 32;
  args.HoverColor = (flags & 64) ? 0x00FFFF : htmlabel::clNone;
  args.HoverFontColor = (flags & 128) ? 0x0000FF : htmlabel::clNone;
  args.Bounds = htmlabel::Rect{0, 0, data[1] * 4 - 64, data[2] * 8 - 64};
  args.MouseX = data[3] * 2 - 16;
  args.MouseY = data[4] * 4 - 16;
  args.HoverIndex = static_cast<int8_t>(data[5]);
  args.FocusIndex = static_cast<int8_t>(data[6]);
  args.ShadowOffset = static_cast<int8_t>(data[7]);
  const std::string_view markup(reinterpret_cast<const char*>(data + 8), size - 8);

  htmlabel::TestSurface surface(/*record=*/false);
  htmlabel::Font font;
  font.size = 10;
  surface.SetFont(font);
  htmlabel::DrawHtmlResults results;
  const bool on_anchor = htmlabel::DrawHTML(surface, markup, args, results);

  Check(results.ExtentX >= 0 && results.ExtentX <= kExtentLimit, "ExtentX within bounds");
  Check(results.ExtentY > 0 && results.ExtentY <= kExtentLimit, "ExtentY within bounds");
  Check(results.AnchorCount >= 0, "anchor count not negative");
  Check(results.AnchorIndexAtMouse == -1 ||
            (results.AnchorIndexAtMouse >= 1 && results.AnchorIndexAtMouse <= results.AnchorCount),
        "anchor under the point is one of those met");
  Check(!on_anchor || results.AnchorIndexAtMouse >= 1 || args.MeasureOnly,
        "a hit names its anchor");
  Check(surface.GetFont() == font, "font restored");
  Check(results.PlainText.size() <= 4 * markup.size() + 16, "plain text no longer than the text");
  return 0;
}
