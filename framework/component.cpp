#include "framework/component.h"

#include <algorithm>

namespace fw {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (owner_) {
    auto& siblings = owner_->components_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    components_.pop_back();
    last->owner_ = nullptr;
    delete last;
  }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  for (TComponent* c : components_) {
    if (c->name_ == name) return c;
  }
  return nullptr;
}

bool TComponent::SetProperty(std::string_view name, const PropertyValue& value) {
  if (name == "Name") return ValueAsString(value, &name_);
  return false;
}

void TComponent::SetParentComponent(TComponent*) {}

void TComponent::PublishMethod(std::string name, TNotifyEvent handler) {
  methods_[std::move(name)] = std::move(handler);
}

TNotifyEvent TComponent::FindMethod(std::string_view name) const {
  for (const TComponent* c = this; c; c = c->owner_) {
    auto found = c->methods_.find(name);
    if (found != c->methods_.end()) return found->second;
  }
  return nullptr;
}

bool ValueAsInteger(const PropertyValue& value, int* out) {
  if (value.kind != PropertyValue::Kind::kInteger) return false;
  *out = value.integer;
  return true;
}

bool ValueAsBoolean(const PropertyValue& value, bool* out) {
  if (value.kind != PropertyValue::Kind::kIdentifier) return false;
  if (value.text == "true" || value.text == "True") {
    *out = true;
  } else if (value.text == "false" || value.text == "False") {
    *out = false;
  } else {
    return false;
  }
  return true;
}

bool ValueAsString(const PropertyValue& value, std::string* out) {
  if (value.kind != PropertyValue::Kind::kString) return false;
  *out = value.text;
  return true;
}

}  // namespace fw
