#include "framework/font.h"

#include "framework/component.h"

namespace fw {

void TFont::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetStyle(unsigned style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetCharset(int charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

bool TFont::SameAs(const TFont& other) const {
  return name_ == other.name_ && height_ == other.height_ && color_ == other.color_ &&
         style_ == other.style_ && charset_ == other.charset_;
}

void TFont::Assign(const TFont& other) {
  if (SameAs(other)) return;
  name_ = other.name_;
  height_ = other.height_;
  color_ = other.color_;
  style_ = other.style_;
  charset_ = other.charset_;
  Changed();
}

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

bool TFont::SetProperty(std::string_view name, const PropertyValue& value) {
  if (name == "Name") {
    std::string face;
    // A face name has at most 31 characters in the system's font record.
    if (!ValueAsString(value, &face) || face.size() > 31) return false;
    SetName(std::move(face));
    return true;
  }
  if (name == "Height") {
    int height;
    if (!ValueAsInteger(value, &height) || height < -2048 || height > 2048) return false;
    SetHeight(height);
    return true;
  }
  if (name == "Color") {
    TColor color;
    if (value.kind == PropertyValue::Kind::kInteger) {
      color = static_cast<TColor>(value.integer);
    } else if (value.kind != PropertyValue::Kind::kIdentifier ||
               !IdentToColor(value.text, &color)) {
      return false;
    }
    SetColor(color);
    return true;
  }
  if (name == "Charset") {
    int charset;
    if (value.kind == PropertyValue::Kind::kIdentifier && value.text == "DEFAULT_CHARSET") {
      charset = 1;
    } else if (value.kind == PropertyValue::Kind::kIdentifier && value.text == "ANSI_CHARSET") {
      charset = 0;
    } else if (!ValueAsInteger(value, &charset) || charset < 0 || charset > 255) {
      return false;
    }
    SetCharset(charset);
    return true;
  }
  if (name == "Style") {
    if (value.kind != PropertyValue::Kind::kSet) return false;
    unsigned style = 0;
    for (const std::string& s : value.set) {
      if (s == "fsBold") {
        style |= fsBold;
      } else if (s == "fsItalic") {
        style |= fsItalic;
      } else if (s == "fsUnderline") {
        style |= fsUnderline;
      } else if (s == "fsStrikeOut") {
        style |= fsStrikeOut;
      } else {
        return false;
      }
    }
    SetStyle(style);
    return true;
  }
  return false;
}

}  // namespace fw
