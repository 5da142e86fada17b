// The application object: the hidden window that carries the task-bar
// button and its title, the main form, the message loop, hints and the
// application exception handler.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/component.h"
#include "framework/exception.h"

namespace fw {

class TForm;

// The application exception handler: the sender of the failed event and the exception.
using TExceptionEvent = std::function<void(TObject* sender, const Exception& e)>;

// Takes every exception the application object would hand to OnException or show; true
// when it took it (a crash reporter does).
using ApplicationExceptionHook = bool (*)(TObject* sender, const Exception& e);
// Sets the hook (null: none) and returns the previous one.
ApplicationExceptionHook SetApplicationExceptionHook(ApplicationExceptionHook hook);

// The one application object of the process.
class TApplication : public TComponent {
 public:
  // Handles every exception that escaped an event handler or window
  // procedure. Empty: ShowException shows it (EAbort stays silent).
  TExceptionEvent OnException;
  // Raised when the hint text changes.
  TNotifyEvent OnHint;

  // The application object; becomes the global Application.
  TApplication();
  // Frees the forms and the application window.
  ~TApplication() override;

  // "TApplication".
  std::string ClassName() const override { return "TApplication"; }
  // Registers the framework's component classes, installs the fault
  // handler and creates the application window.
  void Initialize();
  // The task-bar text.
  const std::string& Title() const { return title_; }
  // Sets the task-bar text (the application window's text).
  void SetTitle(std::string title);
  // The application window, which owns every form.
  HWND Handle() const { return handle_; }

  // Creates a form of class T owned by the application; the first form
  // created becomes the main form.
  template <class T>
  T* CreateForm() {
    T* form = new T(this);
    if (!main_form_) main_form_ = form;
    return form;
  }
  // The main form, or null.
  TForm* MainForm() const { return main_form_; }
  // Forgets the main form when it is destroyed.
  void FormGone(TForm* form);

  // Shows the main form and serves messages until the application is
  // terminated (the main form closed).
  void Run();
  // Processes all pending messages once, then returns.
  void ProcessMessages();
  // Processes one message, waiting for one when none is pending.
  void HandleMessage();
  // Ends the message loop.
  void Terminate();
  // True once Terminate was called or WM_QUIT arrived.
  bool Terminated() const { return terminated_; }

  // Hands an exception to OnException, or shows it.
  void HandleException(TObject* sender, const Exception& e);
  // Shows the exception's message in a message box.
  void ShowException(const Exception& e);

  // The current hint text (of the control under the mouse).
  const std::string& Hint() const { return hint_; }
  // Sets the hint text and raises OnHint when it changed.
  void SetHint(std::string hint);
  // Where the current hint goes, in screen coordinates.
  POINT HintPos() const { return hint_pos_; }
  // Sets where the current hint goes.
  void SetHintPos(POINT pos) { hint_pos_ = pos; }
  // Drops the current hint; the control under the mouse is asked again at
  // the next mouse move.
  void CancelHint();
  // True once after CancelHint: the hint must be asked for again.
  bool TakeHintCancel();

 private:
  bool ProcessMessage();

  HWND handle_ = nullptr;
  std::string title_;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  std::string hint_;
  POINT hint_pos_{};
  bool hint_cancelled_ = false;
};

// The application object, or null before it is made and after it is gone.
extern TApplication* Application;

}  // namespace fw
