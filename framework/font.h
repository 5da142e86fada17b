// The description of a font: face, character height, colour, style and
// character set, with notification when any of them changes.
#pragma once

#include <string>
#include <string_view>

#include "framework/color.h"
#include "framework/object.h"
#include "framework/window_description.h"

namespace fw {

// Font style bits.
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font as controls and canvases use it.
class TFont : public TObject {
 public:
  // Raised after any property changed; the sender is the font.
  TNotifyEvent OnChange;

  // The face name ("Arial").
  const std::string& Name() const { return name_; }
  // Sets the face name.
  void SetName(std::string name);
  // The height: negative is the character height in pixels, positive the cell height.
  int Height() const { return height_; }
  // Sets the height.
  void SetHeight(int height);
  // The text colour.
  TColor Color() const { return color_; }
  // Sets the text colour.
  void SetColor(TColor color);
  // The style bits (TFontStyle).
  unsigned Style() const { return style_; }
  // Sets the style bits.
  void SetStyle(unsigned style);
  // The character set (1: the default character set).
  int Charset() const { return charset_; }
  // Sets the character set.
  void SetCharset(int charset);
  // Copies every property of other, raising OnChange once if anything differs.
  void Assign(const TFont& other);
  // Sets a property named after "Font.": Name, Height, Color, Style, Charset.
  bool SetProperty(std::string_view name, const PropertyValue& value);
  // Equal properties.
  bool SameAs(const TFont& other) const;

 private:
  void Changed();

  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  unsigned style_ = 0;
  int charset_ = 1;
};

}  // namespace fw
