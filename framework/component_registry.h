// The classes a window description may name, each with its factory.
#pragma once

#include <string_view>

#include "framework/component.h"

namespace fw {

// Creates a component of one class, owned by owner.
using ComponentFactory = TComponent* (*)(TComponent* owner);

// Registers a class under its name; a second registration replaces the first.
void RegisterComponentClass(std::string_view class_name, ComponentFactory factory);
// The factory registered for the class name, or null.
ComponentFactory FindComponentClass(std::string_view class_name);

// Factory for RegisterComponentClass: new T(owner).
template <class T>
TComponent* CreateComponent(TComponent* owner) {
  return new T(owner);
}

}  // namespace fw
