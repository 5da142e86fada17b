// The label's mouse decisions: which anchor the mouse is over, when the hand
// cursor comes and goes, when an anchor is entered or left, what needs
// repainting, and what a click on an anchor does. The control carries out the
// decisions; this part needs no window.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "htmlabel/drawing_surface.h"
#include "htmlabel/label_layout.h"

namespace htmlabel {

// What the control does after a mouse move or the mouse leaving.
struct HoverActions {
  std::optional<int> debug_number;  // the hover anchor number to write to the debug output
  bool cancel_hint = false;         // cancel the application's current hint
  std::optional<bool> hand_cursor;  // set the cursor: true the hand, false the default
  bool raise_enter = false;         // raise OnAnchorEnter with anchor
  bool raise_exit = false;          // raise OnAnchorExit with an empty text
  std::string anchor;               // the anchor entered
  std::vector<Rect> invalidate;     // label rectangles to repaint, in order
  bool repaint = false;             // repaint the whole label
};

// What a click on an anchor does.
enum class AnchorClickAction {
  kNothing,        // no anchor
  kOpenWithShell,  // a web or mail address: open it with the shell
  kRaiseEvent,     // anything else: hand it to OnAnchorClick
};

// The action for a click on an anchor with this target: "://" or "mailto:"
// (exact case) anywhere in it opens it, any other non-empty one is an event.
AnchorClickAction ClickActionFor(std::string_view anchor);

// The hover state of one label.
class AnchorTracker {
 public:
  // The number (from 1) of the anchor under the mouse, -1 for none.
  int HoverIndex() const { return hover_index_; }
  // The box of the hovered anchor; left -1 when there is none.
  const Rect& HoverBox() const { return hover_box_; }
  // Records the hit test's anchor number (-1 when nothing was hit).
  void SetHoverIndex(int index) { hover_index_ = index; }

  // The mouse moved onto hit (already recorded with SetHoverIndex);
  // cursor_is_default and cursor_is_hand tell the control's current cursor,
  // hover its Hover setting, anchor_hint its AnchorHint setting.
  HoverActions MouseMove(const AnchorHit& hit, bool cursor_is_default, bool cursor_is_hand,
                         bool hover, bool anchor_hint);
  // The mouse left the label.
  HoverActions MouseLeave(bool hover);

 private:
  int hover_index_ = -1;
  int previous_hover_index_ = 0;
  std::string previous_anchor_;
  Rect hover_box_{0, 0, 0, 0};
};

}  // namespace htmlabel
