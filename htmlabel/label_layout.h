// The HTML label's look on a drawing surface: its settings, the rectangle its
// text goes in, painting (background, bevels, borders, vertical alignment,
// the markup, the size automatic sizing asks for) and the hit test that finds
// the anchor under a point. The label control keeps the state; this is the
// part that needs no window.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "htmlabel/draw_html.h"
#include "htmlabel/drawing_surface.h"

namespace htmlabel {

// Which dimension automatic sizing changes.
enum class TAutoSizeType { asVertical, asHorizontal, asBoth };
// Vertical placement of the text.
enum class TVAlignment { tvaTop, tvaCenter, tvaBottom };
// 3-D bevels.
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
// The label's own border.
enum class TLabelBorderStyle { bsNone, bsSingle };
// How the control is aligned in its parent.
enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Everything painting and hit-testing read from the label.
struct LabelLook {
  Color color = 0xFFFFFF;           // background colour
  bool transparent = false;         // no background fill
  Color url_color = 0xFF0000;       // anchor text
  bool hover = false;               // only the hovered anchor is styled
  Color hover_color = clNone;       // background of the hovered anchor
  Color hover_font_color = clNone;  // text colour of the hovered anchor
  Color shadow_color = 0x808080;    // shadow text
  int shadow_offset = 2;            // shadow offset, pixels
  bool ellipsis = false;            // no word wrapping; long lines end in "..."
  bool auto_sizing = false;         // the control takes the size of its text
  TAutoSizeType auto_size_type = TAutoSizeType::asVertical;    // which dimension
  TVAlignment valignment = TVAlignment::tvaTop;                // vertical placement
  TBevelCut bevel_inner = TBevelCut::bvNone;                   // inner bevel
  TBevelCut bevel_outer = TBevelCut::bvNone;                   // outer bevel
  int bevel_width = 1;                                         // bevel width, pixels
  int border_width = 0;                                        // border width, pixels
  TLabelBorderStyle border_style = TLabelBorderStyle::bsNone;  // black single border
  TAlign align = TAlign::alNone;                               // alignment in the parent
};

// The anchor under a point.
struct AnchorHit {
  std::string target;        // the anchor's target, empty for none
  Rect box{-1, -1, -1, -1};  // its box on the line under the point; left -1 for none
  int index = -1;            // its number from 1, -1 for none
};

// What painting found out.
struct LabelPaintResult {
  int extent_x = 0;    // widest line of the text
  int extent_y = 0;    // height of the text
  int new_width = 0;   // the width automatic sizing wants (the current one when unchanged)
  int new_height = 0;  // the height automatic sizing wants (the current one when unchanged)
};

// Lays out markup as DrawHTML does; a control may add its own settings. An
// empty one is DrawHTML itself.
using RenderFunction = std::function<bool(DrawingSurface& surface, std::string_view markup,
                                          const DrawHtmlArgs& args, DrawHtmlResults& results)>;

// The rectangle the text is laid out in, inside the frames that painting
// draws, for a control of width x height.
Rect TextRect(const LabelLook& look, int width, int height);

// Paints the label of width x height on surface (origin at its top-left
// corner) with the surface's font: background, frames and markup, with the
// anchor numbered hover_index hovered and mouse as the point under the mouse.
LabelPaintResult PaintLabel(DrawingSurface& surface, const LabelLook& look, std::string_view markup,
                            int width, int height, Point mouse, int hover_index,
                            const RenderFunction& render = {});

// The anchor under (x, y) of a label of width x height, laid out as painting
// lays it out.
AnchorHit AnchorAt(DrawingSurface& surface, const LabelLook& look, std::string_view markup,
                   int width, int height, int x, int y, const RenderFunction& render = {});

}  // namespace htmlabel
