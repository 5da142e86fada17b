#include "framework/color.h"

namespace fw {

bool IdentToColor(std::string_view name, TColor* color) {
  struct Named {
    std::string_view name;
    TColor color;
  };
  static constexpr Named kNames[] = {
      {"clBlack", clBlack},     {"clNavy", clNavy},     {"clBlue", clBlue},
      {"clGray", clGray},       {"clWhite", clWhite},   {"clRed", clRed},
      {"clBtnFace", clBtnFace}, {"clWindow", clWindow}, {"clWindowText", clWindowText},
      {"clNone", clNone},
  };
  for (const Named& n : kNames) {
    if (n.name == name) {
      *color = n.color;
      return true;
    }
  }
  return false;
}

}  // namespace fw
