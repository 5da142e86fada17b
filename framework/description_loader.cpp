#include "framework/description_loader.h"

#include <string>
#include <vector>

#include "framework/component_registry.h"
#include "framework/exception.h"

namespace fw {

namespace {

[[noreturn]] void Refuse(int line, const std::string& what) {
  throw EReadError("line " + std::to_string(line) + ": " + what);
}

void SetProperties(TComponent* component, const ObjectDescription& description) {
  for (const PropertyDescription& p : description.properties) {
    if (!component->SetProperty(p.name, p.value)) {
      Refuse(p.line, "property " + p.name + " of " + description.name + " (" +
                         description.class_name + ") is unknown or its value does not fit");
    }
  }
}

void LoadChildren(TComponent* root, TComponent* parent, const ObjectDescription& description,
                  std::vector<TComponent*>* loaded) {
  for (const ObjectDescription& child : description.children) {
    const ComponentFactory factory = FindComponentClass(child.class_name);
    if (!factory) Refuse(child.line, "class " + child.class_name + " is not registered");
    if (root->FindComponent(child.name)) Refuse(child.line, "a second component " + child.name);
    TComponent* component = factory(root);
    component->SetName(child.name);
    component->SetParentComponent(parent);
    SetProperties(component, child);
    loaded->push_back(component);
    LoadChildren(root, component, child, loaded);
  }
}

}  // namespace

void LoadDescription(TComponent* root, const ObjectDescription& description) {
  if (description.class_name != root->ClassName()) {
    Refuse(description.line,
           "the description is of class " + description.class_name + ", not " + root->ClassName());
  }
  root->SetName(description.name);
  SetProperties(root, description);
  std::vector<TComponent*> loaded;
  LoadChildren(root, root, description, &loaded);
  for (TComponent* component : loaded)
    component->Loaded();
  root->Loaded();
}

void LoadDescriptionText(TComponent* root, std::string_view text) {
  DescriptionReadResult result = ReadWindowDescription(text);
  if (!result.ok) throw EReadError(result.error);
  LoadDescription(root, result.root);
}

}  // namespace fw
