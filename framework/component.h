// Components: named objects with an owner that frees what it owns, whose
// published properties can be set by name from a window description.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/object.h"
#include "framework/window_description.h"

namespace fw {

// A named object owned by another component; the owner deletes it.
class TComponent : public TObject {
 public:
  // Creates the component and hands it to owner (null: nobody owns it).
  explicit TComponent(TComponent* owner);
  // Deletes the owned components, last created first.
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // The class name as descriptions spell it ("TLabel").
  virtual std::string ClassName() const { return "TComponent"; }
  // The component's name ("Label1").
  const std::string& Name() const { return name_; }
  // Renames the component.
  void SetName(std::string name) { name_ = std::move(name); }
  // The owner, or null.
  TComponent* Owner() const { return owner_; }
  // The owned components in creation order.
  const std::vector<TComponent*>& Components() const { return components_; }
  // Deletes the owned components, last created first.
  void DestroyComponents();
  // The owned component of that name, or null.
  TComponent* FindComponent(std::string_view name) const;

  // Sets a published property from a description value. False when the class
  // has no such property or the value does not fit it; the component is then
  // unchanged. Subclasses handle their own names and pass on the rest.
  virtual bool SetProperty(std::string_view name, const PropertyValue& value);
  // Makes this component the visual child of parent, when that means anything.
  virtual void SetParentComponent(TComponent* parent);
  // Called once all properties of a description are set.
  virtual void Loaded() {}

  // Publishes an event handler under a name that descriptions refer to.
  void PublishMethod(std::string name, TNotifyEvent handler);
  // The handler published under name by this component or its owners.
  TNotifyEvent FindMethod(std::string_view name) const;

 private:
  std::string name_;
  TComponent* owner_;
  std::vector<TComponent*> components_;
  std::map<std::string, TNotifyEvent, std::less<>> methods_;
};

// Helpers for SetProperty implementations: read a value of the expected kind.
bool ValueAsInteger(const PropertyValue& value, int* out);
// true/false identifiers.
bool ValueAsBoolean(const PropertyValue& value, bool* out);
// A string value.
bool ValueAsString(const PropertyValue& value, std::string* out);

}  // namespace fw
