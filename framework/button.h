// Push buttons: a system BUTTON window with a default and a cancel role,
// a tab order and a modal result.
#pragma once

#include "framework/win_control.h"

namespace fw {

// A push button.
class TButton : public TWinControl {
 public:
  // A tab-stop button owned by owner.
  explicit TButton(TComponent* owner);

  // "TButton".
  std::string ClassName() const override { return "TButton"; }
  // Default, Cancel, ModalResult and the properties of window controls.
  bool SetProperty(std::string_view name, const PropertyValue& value) override;

  // True when Enter presses the button wherever the focus is on its form.
  bool Default() const { return default_; }
  // Makes the button the default one.
  void SetDefault(bool value);
  // True when Escape presses the button.
  bool Cancel() const { return cancel_; }
  // Makes the button the cancel one.
  void SetCancel(bool value) { cancel_ = value; }
  // The result the button gives its form when clicked (mrNone: none).
  int ModalResult() const { return modal_result_; }
  // Sets the modal result.
  void SetModalResult(int result) { modal_result_ = result; }

  // Sets the form's modal result (when set), then raises OnClick.
  void Click() override;
  // BN_CLICKED clicks.
  void Command(WORD notification) override;

 protected:
  // The system BUTTON class, a default push button when Default.
  void CreateParams(TCreateParams* params) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int modal_result_ = 0;
};

}  // namespace fw
