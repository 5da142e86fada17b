// Labels: text painted on the parent, sized to the text or wrapped in a
// fixed box.
#pragma once

#include "framework/graphic_control.h"

namespace fw {

// A text label.
class TLabel : public TGraphicControl {
 public:
  // An auto-sized, single-line label owned by owner.
  explicit TLabel(TComponent* owner);

  // "TLabel".
  std::string ClassName() const override { return "TLabel"; }
  // AutoSize, WordWrap, Transparent, ShowAccelChar and the properties of controls.
  bool SetProperty(std::string_view name, const PropertyValue& value) override;
  // Sizes the label to its text once the description is applied.
  void Loaded() override;

  // True when the label sizes itself to its text.
  bool AutoSize() const { return auto_size_; }
  // Switches sizing to the text on or off.
  void SetAutoSize(bool value);
  // True when the text wraps at word boundaries within the width.
  bool WordWrap() const { return word_wrap_; }
  // Switches word wrapping.
  void SetWordWrap(bool value);
  // True when the background is not painted.
  bool Transparent() const { return transparent_; }
  // Switches the background painting.
  void SetTransparent(bool value);

  // Paints the background in Color (unless transparent) and the text.
  void Paint(TCanvas& canvas) override;

 protected:
  // Resizes and repaints.
  void FontChanged() override;
  // Resizes and repaints.
  void CaptionChanged() override;

 private:
  UINT TextFlags() const;
  void AdjustBounds();

  bool auto_size_ = true;
  bool word_wrap_ = false;
  bool transparent_ = false;
  bool show_accel_char_ = true;
  bool loading_ = true;
};

}  // namespace fw
