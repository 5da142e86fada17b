#include "framework/button.h"

#include "framework/form.h"

namespace fw {

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams* params) {
  TWinControl::CreateParams(params);
  params->window_class = "BUTTON";
  params->system_class = true;
  params->style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
  default_ = value;
  if (HandleAllocated()) {
    SendMessageA(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

void TButton::Click() {
  if (modal_result_ != 0) {
    if (TForm* form = ParentForm()) form->SetModalResult(modal_result_);
  }
  TWinControl::Click();
}

void TButton::Command(WORD notification) {
  if (notification == BN_CLICKED) Click();
}

bool TButton::SetProperty(std::string_view name, const PropertyValue& value) {
  bool flag;
  if (name == "Default" && ValueAsBoolean(value, &flag)) return SetDefault(flag), true;
  if (name == "Cancel" && ValueAsBoolean(value, &flag)) return SetCancel(flag), true;
  if (name == "ModalResult" && value.kind == PropertyValue::Kind::kIdentifier) {
    if (value.text == "mrNone") return SetModalResult(mrNone), true;
    if (value.text == "mrOk") return SetModalResult(mrOk), true;
    if (value.text == "mrCancel") return SetModalResult(mrCancel), true;
    return false;
  }
  return TWinControl::SetProperty(name, value);
}

}  // namespace fw
