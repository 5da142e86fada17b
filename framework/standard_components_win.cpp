#include "framework/standard_components.h"

#include "framework/button.h"
#include "framework/component_registry.h"
#include "framework/image.h"
#include "framework/label.h"

namespace fw {

void RegisterStandardComponents() {
  RegisterComponentClass("TLabel", CreateComponent<TLabel>);
  RegisterComponentClass("TButton", CreateComponent<TButton>);
  RegisterComponentClass("TImage", CreateComponent<TImage>);
}

}  // namespace fw
