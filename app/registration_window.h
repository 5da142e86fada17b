// The installer's registration window: a picture, a link to the maker's site
// and a "Free Registration..." button that opens the registration page in
// the browser. It is created hidden at start-up and nothing in the program
// shows it. Its layout is the stored description TFORM2.
#pragma once

#include <string>

#include "framework/button.h"
#include "framework/form.h"
#include "framework/image.h"
#include "htmlabel/html_label.h"

namespace app {

// The registration page the button opens.
constexpr char kRegistrationAddress[] = "http://www.velmo.com/v3athome.htm";

// The registration window.
class TForm2 : public fw::TForm {
 public:
  // Builds the window from its stored description (hidden).
  explicit TForm2(fw::TComponent* owner);

  // "TForm2".
  std::string ClassName() const override { return "TForm2"; }

  // "Free Registration...": opens the registration page through the shell
  // (its result is not looked at) and sets the modal result OK.
  void Button1Click(fw::TObject* sender);

  fw::TImage* Image1 = nullptr;              // the registration picture
  htmlabel::THTMLabel* HTMLabel1 = nullptr;  // the link to the maker's web site
  fw::TButton* Button1 = nullptr;            // "Free Registration..."
  fw::TButton* Button2 = nullptr;            // "Close" (modal result cancel)
};

}  // namespace app
