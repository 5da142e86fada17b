#include "crash/box/box_measure_win.h"

namespace crash {

BoxSize DrawTextMeasure::Wrapped(int width) const {
  RECT rect{0, 0, width, 0};
  DrawTextA(dc_, text_.c_str(), static_cast<int>(text_.size()), &rect,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  return {static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top)};
}

BoxFacts MeasureBoxFacts(const CrashSettings& box_settings, HDC dc, bool can_continue,
                         bool big_icon) {
  BoxFacts facts;
  facts.can_continue = can_continue;
  facts.big_icon = big_icon;
  for (int i = 0; i < kBoxButtons; ++i) {
    const std::string_view caption = BoxCaption(box_settings, i);
    SIZE size{};
    if (!caption.empty()) {
      GetTextExtentPoint32A(dc, caption.data(), static_cast<int>(caption.size()), &size);
    }
    facts.caption_widths[i] = size.cx;
  }
  facts.caption_height = GetSystemMetrics(SM_CYCAPTION);
  facts.screen_width = GetSystemMetrics(SM_CXSCREEN);
  facts.screen_height = GetSystemMetrics(SM_CYSCREEN);
  return facts;
}

}  // namespace crash
