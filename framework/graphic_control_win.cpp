#include "framework/graphic_control.h"

#include "framework/form.h"
#include "framework/win_control.h"

namespace fw {

TGraphicControl::~TGraphicControl() {
  if (Parent()) Invalidate();
  if (TForm* form = ParentForm()) form->ControlGone(this);
}

void TGraphicControl::Invalidate() {
  InvalidateRect(RECT{0, 0, Width(), Height()});
}

void TGraphicControl::InvalidateRect(const RECT& rect) {
  if (!Parent() || !Parent()->HandleAllocated()) return;
  RECT area{Left() + rect.left, Top() + rect.top, Left() + rect.right, Top() + rect.bottom};
  ::InvalidateRect(Parent()->Handle(), &area, TRUE);
}

void TGraphicControl::SetBounds(int left, int top, int width, int height) {
  Invalidate();
  TControl::SetBounds(left, top, width, height);
  Invalidate();
}

void TGraphicControl::SetVisible(bool visible) {
  TControl::SetVisible(visible);
  Invalidate();
}

}  // namespace fw
