#include "app/registration_window.h"

#include <windows.h>

#include <shellapi.h>

#include "framework/exception.h"

namespace app {

namespace {

// The stored component of that name and class; the description must have it.
template <class T>
T* Find(fw::TComponent* form, const char* name) {
  auto* component = dynamic_cast<T*>(form->FindComponent(name));
  if (!component) throw fw::EReadError(std::string("The registration window lacks ") + name);
  return component;
}

}  // namespace

TForm2::TForm2(fw::TComponent* owner) : fw::TForm(owner) {
  PublishMethod("Button1Click", [this](fw::TObject* sender) { Button1Click(sender); });
  htmlabel::RegisterHTMLabel();
  LoadFromResource("TFORM2");
  Image1 = Find<fw::TImage>(this, "Image1");
  HTMLabel1 = Find<htmlabel::THTMLabel>(this, "HTMLabel1");
  Button1 = Find<fw::TButton>(this, "Button1");
  Button2 = Find<fw::TButton>(this, "Button2");
}

void TForm2::Button1Click(fw::TObject*) {
  ShellExecuteA(nullptr, nullptr, kRegistrationAddress, nullptr, nullptr, SW_SHOWNORMAL);
  SetModalResult(fw::mrOk);
}

}  // namespace app
