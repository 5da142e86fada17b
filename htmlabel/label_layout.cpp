#include "htmlabel/label_layout.h"

#include <algorithm>

namespace htmlabel {
namespace {

constexpr Color kBtnShadow = 0x80000000u + 16;
constexpr Color kBtnHighlight = 0x80000000u + 20;
constexpr int kUnlimited = 65535;  // how far automatic sizing opens the text rectangle
constexpr int kAutoSizeMargin = 6;
constexpr int kMaxFrame = 1 << 14;  // wider frames are drawn this wide
constexpr int kMaxSize = 1 << 24;   // larger controls are laid out this large

bool AnyBevel(const LabelLook& look) {
  return look.bevel_inner != TBevelCut::bvNone || look.bevel_outer != TBevelCut::bvNone;
}

int FrameWidth(int width) {
  return std::clamp(width, 0, kMaxFrame);
}

int ControlSize(int size) {
  return std::clamp(size, 0, kMaxSize);
}

void Shrink(Rect* rect, int by) {
  rect->left += by;
  rect->top += by;
  rect->right -= by;
  rect->bottom -= by;
}

// A frame of width pixels along the inside of rect: top and left lines in
// top_left, bottom and right lines in bottom_right; rect shrinks by width.
void Frame3D(DrawingSurface& surface, Rect* rect, Color top_left, Color bottom_right, int width) {
  const Pen pen = surface.GetPen();
  --rect->right;
  --rect->bottom;
  for (int i = 0; i < width; ++i) {
    surface.SetPen(Pen{top_left, 1, PenStyle::kSolid});
    surface.MoveTo(rect->left, rect->bottom);
    surface.LineTo(rect->left, rect->top);
    surface.LineTo(rect->right, rect->top);
    surface.SetPen(Pen{bottom_right, 1, PenStyle::kSolid});
    surface.LineTo(rect->right, rect->bottom);
    surface.LineTo(rect->left - 1, rect->bottom);
    Shrink(rect, 1);
  }
  ++rect->right;
  ++rect->bottom;
  surface.SetPen(pen);
}

void Bevel(DrawingSurface& surface, Rect* rect, TBevelCut cut, int width) {
  if (cut == TBevelCut::bvNone) return;
  const bool lowered = cut == TBevelCut::bvLowered;
  Frame3D(surface, rect, lowered ? kBtnShadow : kBtnHighlight, lowered ? kBtnHighlight : kBtnShadow,
          width);
}

bool Render(const RenderFunction& render, DrawingSurface& surface, std::string_view markup,
            const DrawHtmlArgs& args, DrawHtmlResults& results) {
  return render ? render(surface, markup, args, results) : DrawHTML(surface, markup, args, results);
}

DrawHtmlArgs RenderArgs(const LabelLook& look, const Rect& bounds) {
  DrawHtmlArgs args;
  args.Bounds = bounds;
  args.FocusIndex = -1;
  args.ShadowOffset = look.shadow_offset;
  args.HoverOnly = look.hover;
  args.WrapWords = !look.ellipsis;
  args.ScaleFactor = 1.0;
  return args;
}

// Moves the top of rect for centre and bottom alignment, measuring the text first.
void AlignVertically(DrawingSurface& surface, const LabelLook& look, std::string_view markup,
                     int height, const RenderFunction& render, Rect* rect) {
  if (look.valignment == TVAlignment::tvaTop) return;
  DrawHtmlArgs args = RenderArgs(look, *rect);
  args.NoDraw = true;
  DrawHtmlResults results;
  Render(render, surface, markup, args, results);
  if (results.ExtentY >= height) return;
  if (look.valignment == TVAlignment::tvaCenter) {
    // Halved as a signed number: a text taller than the rectangle (but not
    // than the control) moves up instead of out of sight.
    rect->top += (rect->bottom - rect->top - results.ExtentY) / 2;
  } else {
    rect->top = rect->bottom - results.ExtentY;
  }
}

bool SizesVertically(const LabelLook& look) {
  return look.auto_size_type != TAutoSizeType::asHorizontal &&
         (look.align == TAlign::alTop || look.align == TAlign::alBottom ||
          look.align == TAlign::alNone);
}

bool SizesHorizontally(const LabelLook& look) {
  return look.auto_size_type != TAutoSizeType::asVertical &&
         (look.align == TAlign::alLeft || look.align == TAlign::alRight ||
          look.align == TAlign::alNone);
}

}  // namespace

Rect TextRect(const LabelLook& look, int width, int height) {
  Rect rect{0, 0, ControlSize(width), ControlSize(height)};
  const int bevel = FrameWidth(look.bevel_width);
  const int border = FrameWidth(look.border_width);
  if (look.bevel_outer != TBevelCut::bvNone) Shrink(&rect, bevel);
  Shrink(&rect, border);
  if (look.bevel_inner != TBevelCut::bvNone) Shrink(&rect, bevel);
  if (AnyBevel(look)) Shrink(&rect, bevel);
  if (look.border_style == TLabelBorderStyle::bsSingle) Shrink(&rect, border);
  return rect;
}

LabelPaintResult PaintLabel(DrawingSurface& surface, const LabelLook& look, std::string_view markup,
                            int width, int height, Point mouse, int hover_index,
                            const RenderFunction& render) {
  width = ControlSize(width);
  height = ControlSize(height);
  Rect rect{0, 0, width, height};
  if (!look.transparent) {
    surface.SetBrushColor(look.color);
    surface.FillRect(rect);
  }
  const int bevel = FrameWidth(look.bevel_width);
  const int border = FrameWidth(look.border_width);
  Bevel(surface, &rect, look.bevel_outer, bevel);
  Frame3D(surface, &rect, look.color, look.color, border);
  Bevel(surface, &rect, look.bevel_inner, bevel);
  if (look.border_style == TLabelBorderStyle::bsSingle && border > 0) {
    const Pen pen = surface.GetPen();
    const BrushStyle brush = surface.GetBrushStyle();
    surface.SetPen(Pen{clBlack, border, PenStyle::kSolid});
    surface.SetBrushStyle(BrushStyle::kClear);
    surface.Rectangle(rect);
    surface.SetPen(pen);
    surface.SetBrushStyle(brush);
  }
  rect = TextRect(look, width, height);
  surface.SetBrushColor(look.color);

  if (look.auto_sizing) {
    if (SizesHorizontally(look)) rect.right += kUnlimited;
    if (SizesVertically(look)) rect.bottom += kUnlimited;
  }
  AlignVertically(surface, look, markup, height, render, &rect);

  DrawHtmlArgs args = RenderArgs(look, rect);
  args.MouseX = mouse.x;
  args.MouseY = mouse.y;
  args.HoverIndex = hover_index;
  args.URLColor = look.url_color;
  args.HoverColor = look.hover_color;
  args.HoverFontColor = look.hover_font_color;
  args.ShadowColor = look.shadow_color;
  DrawHtmlResults results;
  Render(render, surface, markup, args, results);

  LabelPaintResult result{results.ExtentX, results.ExtentY, width, height};
  if (look.auto_sizing) {
    if (SizesVertically(look)) result.new_height = results.ExtentY + kAutoSizeMargin;
    if (SizesHorizontally(look)) result.new_width = results.ExtentX + kAutoSizeMargin;
  }
  return result;
}

AnchorHit AnchorAt(DrawingSurface& surface, const LabelLook& look, std::string_view markup,
                   int width, int height, int x, int y, const RenderFunction& render) {
  height = ControlSize(height);
  Rect rect = TextRect(look, width, height);
  AlignVertically(surface, look, markup, height, render, &rect);
  DrawHtmlArgs args = RenderArgs(look, rect);
  args.NoDraw = true;
  args.MouseX = x;
  args.MouseY = y;
  args.HoverIndex = -1;
  args.URLColor = 0xFFFFFF;
  args.HoverColor = clNone;
  args.HoverFontColor = clNone;
  args.ShadowColor = clNone;
  DrawHtmlResults results;
  results.AnchorBounds = Rect{-1, -1, -1, -1};
  AnchorHit hit;
  if (Render(render, surface, markup, args, results)) {
    hit.target = results.AnchorAtMouse;
    hit.box = results.AnchorBounds;
    hit.index = results.AnchorIndexAtMouse;
  }
  return hit;
}

}  // namespace htmlabel
