// Forms: top-level windows whose layout comes from a window description.
#pragma once

#include <string_view>

#include "framework/win_control.h"

namespace fw {

class TButton;
class TGraphicControl;

// Border styles.
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
// Border icon bits.
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
// Where the form appears.
enum class TPosition { poDesigned, poScreenCenter };
// Modal results.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// A top-level window, owned by the application window (which carries the
// task-bar button). It paints its graphic controls, routes mouse input to
// them and moves between its controls with Tab, Enter and Escape.
class TForm : public TWinControl {
 public:
  // Raised when the form is shown.
  TNotifyEvent OnShow;

  // A form owned by owner; subclasses load their description in their constructor.
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // "TForm".
  std::string ClassName() const override { return "TForm"; }
  // ClientWidth, ClientHeight, BorderStyle, BorderIcons, Position, Scaled,
  // PixelsPerInch and the properties of window controls.
  bool SetProperty(std::string_view name, const PropertyValue& value) override;

  // Reads the description stored as RCDATA resource resource_name in the
  // executable and builds the form from it; throws EReadError.
  void LoadFromResource(const char* resource_name);
  // Creates the (hidden) window once the description is applied.
  void Loaded() override;

  // Sets the size of the client area.
  void SetClientSize(int width, int height);
  // The client area width.
  int ClientWidth() const { return client_width_; }
  // The client area height.
  int ClientHeight() const { return client_height_; }
  // The border style.
  TFormBorderStyle BorderStyle() const { return border_style_; }
  // The border icon bits.
  unsigned BorderIcons() const { return border_icons_; }
  // Where the form appears.
  TPosition Position() const { return position_; }
  // Recorded from the description; the framework never scales a layout.
  bool Scaled() const { return scaled_; }

  // Makes the form visible and brings it to the front.
  void Show();
  // Hides the form.
  void Hide();
  // Closes the form: the main form ends the application, others hide.
  void Close();
  // Shows the form modally: the other forms are disabled until ModalResult
  // is set; returns it.
  int ShowModal();
  // The modal result (mrNone while the form is open).
  int ModalResult() const { return modal_result_; }
  // Sets the modal result, which ends ShowModal.
  void SetModalResult(int result) { modal_result_ = result; }

  // The control that gets the focus when the form is activated.
  TWinControl* ActiveControl() const { return active_control_; }
  // Sets the focused control.
  void SetActiveControl(TWinControl* control);
  // Enter clicks the focused button or the default one, Escape the cancel
  // button, Tab and Shift+Tab move through the tab order.
  bool DialogKey(WPARAM key) override;
  // Forgets a graphic control that is going away.
  void ControlGone(TGraphicControl* control);

  // The form's messages: background, painting, mouse, closing, activation.
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  // A top-level window of this form's class owned by the application window.
  void CreateParams(TCreateParams* params) override;

 private:
  TGraphicControl* GraphicControlAt(int x, int y) const;
  void PaintControls(HDC dc, const RECT& area);
  void UpdateHover(int x, int y);
  void AskHint(TGraphicControl* control, int x, int y);
  void SelectNext(bool forward);

  int client_width_ = 0;
  int client_height_ = 0;
  TFormBorderStyle border_style_ = TFormBorderStyle::bsSizeable;
  unsigned border_icons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = TPosition::poDesigned;
  bool scaled_ = false;
  int modal_result_ = mrNone;
  TWinControl* active_control_ = nullptr;
  TGraphicControl* hovered_ = nullptr;
  TGraphicControl* captured_ = nullptr;
  bool tracking_ = false;
};

}  // namespace fw
