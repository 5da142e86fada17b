// Graphic controls: controls without a window of their own that paint on
// their parent's surface and get their mouse input from it.
#pragma once

#include "framework/canvas.h"
#include "framework/control.h"

namespace fw {

// A window-less control; its parent paints it and routes mouse input to it.
class TGraphicControl : public TControl {
 public:
  // A graphic control owned by owner.
  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
  ~TGraphicControl() override;

  // "TGraphicControl".
  std::string ClassName() const override { return "TGraphicControl"; }
  // Paints the control: the canvas origin is the control's top-left corner
  // and drawing is clipped to its bounds.
  virtual void Paint(TCanvas& canvas) = 0;
  // Repaints the whole control.
  void Invalidate() override;
  // Repaints a rectangle given in the control's coordinates.
  void InvalidateRect(const RECT& rect);
  // Moves and sizes, repainting the old and the new place.
  void SetBounds(int left, int top, int width, int height) override;
  // Shows or hides, repainting the place.
  void SetVisible(bool visible) override;
};

}  // namespace fw
