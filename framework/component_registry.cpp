#include "framework/component_registry.h"

#include <map>
#include <string>

namespace fw {

namespace {

std::map<std::string, ComponentFactory, std::less<>>& Registry() {
  static std::map<std::string, ComponentFactory, std::less<>> registry;
  return registry;
}

}  // namespace

void RegisterComponentClass(std::string_view class_name, ComponentFactory factory) {
  Registry()[std::string(class_name)] = factory;
}

ComponentFactory FindComponentClass(std::string_view class_name) {
  auto found = Registry().find(class_name);
  return found == Registry().end() ? nullptr : found->second;
}

}  // namespace fw
