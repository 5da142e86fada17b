// Builds a component tree from a window description: creates the nested
// components by class name and sets every property by name.
#pragma once

#include <string_view>

#include "framework/component.h"
#include "framework/window_description.h"

namespace fw {

// Applies description to root (whose class must be the root object's class):
// sets root's properties, creates each nested object through the class
// registry, owned by root and parented to the object it is nested in, and
// calls Loaded on all of them. Throws EReadError naming the line of the first
// unknown class or property, or of a value the property refuses.
void LoadDescription(TComponent* root, const ObjectDescription& description);

// Reads the text and applies it to root; throws EReadError on any fault.
void LoadDescriptionText(TComponent* root, std::string_view text);

}  // namespace fw
