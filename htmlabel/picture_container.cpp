#include "htmlabel/picture_container.h"

#include <charconv>

#include "framework/component_registry.h"
#include "framework/exception.h"

namespace htmlabel {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void TPictureItem::Assign(const TPictureItem& source) {
  name_ = source.name_;
  tag_ = source.tag_;
  picture_.Assign(&source.picture_);
}

TPictureItem& TPictureCollection::Add() {
  items_.push_back(std::make_unique<TPictureItem>());
  return *items_.back();
}

THTMLPicture* TPictureContainer::PictureByName(std::string_view name) {
  for (std::size_t i = 0; i < items_.Count(); ++i) {
    if (EqualNoCase(items_.Item(i).Name(), name)) return &items_.Item(i).Picture();
  }
  return nullptr;
}

bool TPictureContainer::SetProperty(std::string_view name, const fw::PropertyValue& value) {
  constexpr std::string_view kItems = "Items.";
  if (!name.starts_with(kItems)) return fw::TComponent::SetProperty(name, value);
  name.remove_prefix(kItems.size());
  std::size_t index = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), index);
  if (error != std::errc() || end == name.data() || *end != '.' || index >= kMaxPictureItems ||
      index > items_.Count()) {
    return false;  // items are numbered in order from 0
  }
  const std::string_view field = name.substr(static_cast<std::size_t>(end - name.data()) + 1);
  TPictureItem& item = index == items_.Count() ? items_.Add() : items_.Item(index);
  std::string text;
  int number = 0;
  if (field == "Name" && fw::ValueAsString(value, &text)) return item.SetName(text), true;
  if (field == "Tag" && fw::ValueAsInteger(value, &number)) return item.SetTag(number), true;
  try {
    if (field == "Picture.Data" && value.kind == fw::PropertyValue::Kind::kBinary) {
      item.Picture().LoadFromBytes(value.binary);
      return true;
    }
    if (field == "Picture.Resource" && fw::ValueAsString(value, &text)) {
      item.Picture().LoadFromResource(text);
      return !item.Picture().Empty();
    }
  } catch (const fw::Exception&) {
    return false;  // the description names a picture that does not decode
  }
  return false;
}

void RegisterPictureContainer() {
  fw::RegisterComponentClass("TPictureContainer", fw::CreateComponent<TPictureContainer>);
}

}  // namespace htmlabel
