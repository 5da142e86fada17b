// Lays out text written in the label's small HTML-like markup inside a
// rectangle of a drawing surface, line by line, and draws it or only measures
// it; tells which anchor lies under a point; returns the laid-out size and the
// text without markup. Nothing survives a call.
#pragma once

#include <string>
#include <string_view>

#include "htmlabel/drawing_surface.h"

namespace htmlabel {

class THTMLPictureCache;  // pictures named by address (picture_cache.h)
class TPictureContainer;  // named pictures (picture_container.h)

// The inputs of DrawHTML after the surface and the markup.
struct DrawHtmlArgs {
  Rect Bounds;                                // area to lay out in
  const TImageList* ImageList = nullptr;      // images for IMG "IDX:" sources, or none
  int MouseX = -1;                            // point to hit-test, horizontal
  int MouseY = -1;                            // point to hit-test, vertical
  int FocusIndex = -1;                        // zero-based anchor with a focus rectangle; -1 none
  int HoverIndex = -1;                        // anchor (from 1) under the mouse; -1 none
  int ShadowOffset = 2;                       // shadow offset right and down, pixels
  bool NoDraw = false;                        // lay out and hit-test only; draw nothing
  bool MeasureOnly = false;                   // skip the drawing pass altogether
  bool PrintMode = false;                     // stretch image-list images by ScaleFactor
  bool Selected = false;                      // markup keeps text and background colours
  bool BlinkOn = false;                       // text after BL is visible
  bool HoverOnly = false;                     // only the hovered anchor is styled
  bool WrapWords = true;                      // break lines between words
  double ScaleFactor = 1.0;                   // image scale in PrintMode
  Color URLColor = 0xFF0000;                  // anchor text colour
  Color HoverColor = clNone;                  // background of a hovered anchor
  Color HoverFontColor = clNone;              // text colour of a hovered anchor
  Color ShadowColor = 0x808080;               // shadow text colour
  THTMLPictureCache* PictureCache = nullptr;  // pictures from web addresses, or none
  TPictureContainer* PictureContainer = nullptr;  // named pictures, or none
};

// The outputs of DrawHTML; AnchorAtMouse and AnchorBounds are left as they are
// when the point is on no anchor.
struct DrawHtmlResults {
  std::string AnchorAtMouse;    // target of the anchor under the mouse
  std::string PlainText;        // the text without markup; a carriage return per BR
  std::string FocusedAnchor;    // target of the anchor numbered FocusIndex + 1, when drawn
  int ExtentX = 0;              // widest line, pixels
  int ExtentY = 0;              // total height, pixels
  int AnchorCount = 0;          // anchors met
  int AnchorIndexAtMouse = -1;  // number (from 1) of the anchor under the mouse, else -1
  Rect AnchorBounds;            // box of the anchor under the mouse
};

// Lays out Source in args.Bounds of Canvas; true when (MouseX, MouseY) lies on
// an anchor. Restores the surface's font, brush and background mode.
bool DrawHTML(DrawingSurface& Canvas, std::string_view Source, const DrawHtmlArgs& args,
              DrawHtmlResults& results);

// The same with every argument in its own parameter, in the order callers know.
bool DrawHTML(DrawingSurface& Canvas, std::string_view Source, const Rect& Bounds,
              const TImageList* ImageList, int MouseX, int MouseY, int FocusIndex, int HoverIndex,
              int ShadowOffset, bool NoDraw, bool MeasureOnly, bool PrintMode, bool Selected,
              bool BlinkOn, bool HoverOnly, bool WrapWords, double ScaleFactor, Color URLColor,
              Color HoverColor, Color HoverFontColor, Color ShadowColor, std::string& AnchorAtMouse,
              std::string& PlainText, std::string& FocusedAnchor, int& ExtentX, int& ExtentY,
              int& AnchorCount, int& AnchorIndexAtMouse, Rect& AnchorBounds,
              THTMLPictureCache* PictureCache, TPictureContainer* PictureContainer);

}  // namespace htmlabel
