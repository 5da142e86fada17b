// The installer's welcome window: presents the two products; "Install" runs
// their setup programs one after the other and ends the program, "Cancel"
// ends it at once. Its layout is the stored description TFORM1.
#pragma once

#include <string>

#include "framework/button.h"
#include "framework/form.h"
#include "framework/image.h"
#include "framework/label.h"
#include "htmlabel/html_label.h"

namespace app {

// The welcome window.
class TForm1 : public fw::TForm {
 public:
  // Builds the window from its stored description (hidden).
  explicit TForm1(fw::TComponent* owner);

  // "TForm1".
  std::string ClassName() const override { return "TForm1"; }

  // "Install": runs the two setup programs beside the executable, then closes.
  void Button1Click(fw::TObject* sender);
  // "Cancel": closes the window, which ends the program.
  void Button2Click(fw::TObject* sender);

  htmlabel::THTMLabel* HTMLabel1 = nullptr;  // the link to the maker's web site
  fw::TLabel* Label1 = nullptr;              // "Velmo Tomewright 2"
  fw::TImage* Image1 = nullptr;              // the product picture
  fw::TLabel* Label2 = nullptr;              // the product's slogan
  fw::TLabel* Label3 = nullptr;              // the offer
  fw::TLabel* Label4 = nullptr;              // what will be installed
  fw::TLabel* Label5 = nullptr;              // the request to press Install
  fw::TButton* Button1 = nullptr;            // "Install"
  fw::TButton* Button2 = nullptr;            // "Cancel"
};

// The folder of a program file: the path cut after its last backslash or
// colon ("" when it has neither).
std::string ProgramFolder(const std::string& program_path);

}  // namespace app
