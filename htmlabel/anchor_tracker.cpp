#include "htmlabel/anchor_tracker.h"

namespace htmlabel {

AnchorClickAction ClickActionFor(std::string_view anchor) {
  if (anchor.empty()) return AnchorClickAction::kNothing;
  if (anchor.find("://") != std::string_view::npos ||
      anchor.find("mailto:") != std::string_view::npos) {
    return AnchorClickAction::kOpenWithShell;
  }
  return AnchorClickAction::kRaiseEvent;
}

HoverActions AnchorTracker::MouseMove(const AnchorHit& hit, bool cursor_is_default,
                                      bool cursor_is_hand, bool hover, bool anchor_hint) {
  HoverActions actions;
  const Rect& box = hit.box;
  if (!hit.target.empty()) {
    if (hit.target != previous_anchor_ || box != hover_box_ || hover_index_ == -1) {
      actions.debug_number = hover_index_;
      if (hover && box.left != -1) actions.invalidate.push_back(hover_box_);
    }
    if (cursor_is_default || hit.target != previous_anchor_ ||
        previous_hover_index_ != hover_index_) {
      actions.cancel_hint = anchor_hint;
      actions.hand_cursor = true;
      actions.raise_enter = true;
      actions.anchor = hit.target;
      if (hover) {
        if (box.left != -1) {
          actions.invalidate.push_back(hover_box_);
        } else {
          actions.repaint = true;
        }
      }
    }
    previous_anchor_ = hit.target;
    previous_hover_index_ = hover_index_;
    hover_box_ = box;
    if (hover) actions.invalidate.push_back(hover_box_);
  } else if (cursor_is_hand) {
    actions.hand_cursor = false;
    actions.raise_exit = true;
    if (hover) {
      if (hover_box_.left != -1) {
        actions.invalidate.push_back(hover_box_);
      } else {
        actions.repaint = true;
      }
    }
    hover_box_ = box;
    if (hover) actions.invalidate.push_back(hover_box_);
  }
  return actions;
}

HoverActions AnchorTracker::MouseLeave(bool hover) {
  HoverActions actions;
  if (hover && hover_index_ != -1) actions.invalidate.push_back(hover_box_);
  hover_index_ = -1;
  return actions;
}

}  // namespace htmlabel
