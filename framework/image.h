// Image controls: a picture drawn at its natural size from the top-left
// corner of the control and clipped to it.
#pragma once

#include "framework/graphic_control.h"
#include "framework/picture.h"

namespace fw {

// A picture on the parent's surface.
class TImage : public TGraphicControl {
 public:
  // An empty image owned by owner.
  explicit TImage(TComponent* owner);

  // "TImage".
  std::string ClassName() const override { return "TImage"; }
  // Picture.Resource (the name of an RCDATA resource holding a JPEG or BMP
  // file), Picture.Data (the file's bytes) and the properties of controls.
  bool SetProperty(std::string_view name, const PropertyValue& value) override;

  // The picture shown.
  TPicture& Picture() { return picture_; }
  // Draws the picture at (0, 0); the parent clips it to the bounds.
  void Paint(TCanvas& canvas) override;

 private:
  TPicture picture_;
};

}  // namespace fw
