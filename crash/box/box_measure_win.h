// The box's measures as the system gives them: the message wrapped at word boundaries and
// the captions in the message font, for the layout (crash/box/box_layout.h).
#pragma once

#include <windows.h>

#include <string>

#include "crash/box/box_layout.h"
#include "crash/crash_settings.h"

namespace crash {

// The message measured with the system's word wrapping in the font selected into dc.
class DrawTextMeasure : public MessageMeasure {
 public:
  DrawTextMeasure(HDC dc, const std::string& text) : dc_(dc), text_(text) {}
  BoxSize Wrapped(int width) const override;

 private:
  HDC dc_;
  const std::string& text_;
};

// What the layout needs from the system: the captions of the (BoxSettings-adjusted)
// settings measured in the font selected into dc, the caption height and the screen; the
// automatic rules are left false.
BoxFacts MeasureBoxFacts(const CrashSettings& box_settings, HDC dc, bool can_continue,
                         bool big_icon);

}  // namespace crash
