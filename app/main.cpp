// The installer's entry point: the application object with its title, the
// welcome window as the main window, the registration window (hidden; nothing
// shows it), and the message loop until the main window closes.
#include <windows.h>

#include "app/registration_window.h"
#include "app/welcome_window.h"
#include "framework/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  fw::TApplication application;
  try {
    application.Initialize();
    application.SetTitle("Adrelo Installation");
    application.CreateForm<app::TForm1>();
    application.CreateForm<app::TForm2>();
    application.Run();
  } catch (const fw::Exception& e) {
    application.ShowException(e);
    return 1;
  } catch (const std::exception& e) {
    application.ShowException(fw::Exception(e.what()));
    return 1;
  }
  return 0;
}
