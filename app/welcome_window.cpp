#include "app/welcome_window.h"

#include <windows.h>

#include "app/launcher.h"
#include "framework/application.h"
#include "framework/exception.h"

namespace app {

namespace {

// The stored component of that name and class; the description must have it.
template <class T>
T* Find(fw::TComponent* form, const char* name) {
  auto* component = dynamic_cast<T*>(form->FindComponent(name));
  if (!component) throw fw::EReadError(std::string("The welcome window lacks ") + name);
  return component;
}

}  // namespace

std::string ProgramFolder(const std::string& program_path) {
  const std::size_t cut = program_path.find_last_of("\\:");
  return cut == std::string::npos ? std::string() : program_path.substr(0, cut + 1);
}

TForm1::TForm1(fw::TComponent* owner) : fw::TForm(owner) {
  PublishMethod("Button1Click", [this](fw::TObject* sender) { Button1Click(sender); });
  PublishMethod("Button2Click", [this](fw::TObject* sender) { Button2Click(sender); });
  htmlabel::RegisterHTMLabel();
  LoadFromResource("TFORM1");
  HTMLabel1 = Find<htmlabel::THTMLabel>(this, "HTMLabel1");
  Label1 = Find<fw::TLabel>(this, "Label1");
  Image1 = Find<fw::TImage>(this, "Image1");
  Label2 = Find<fw::TLabel>(this, "Label2");
  Label3 = Find<fw::TLabel>(this, "Label3");
  Label4 = Find<fw::TLabel>(this, "Label4");
  Label5 = Find<fw::TLabel>(this, "Label5");
  Button1 = Find<fw::TButton>(this, "Button1");
  Button2 = Find<fw::TButton>(this, "Button2");
}

void TForm1::Button1Click(fw::TObject*) {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string program(path, length < sizeof path ? length : 0);
  const std::string base = AddTrailingBackslash(ProgramFolder(program));
  const std::string first = base + "tw2\\vlmtw_setup.exe";
  const std::string second = base + "tw1\\setup.exe";

  fw::Application->ProcessMessages();
  Hide();
  RunProgramAndWait(first, "", "", SW_SHOWNORMAL);
  Show();
  Hide();
  RunProgramAndWait(second, "", "", SW_SHOWNORMAL);
  Close();
}

void TForm1::Button2Click(fw::TObject*) {
  Close();
}

}  // namespace app
