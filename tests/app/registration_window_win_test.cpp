// The registration window in the program's own process: its stored controls
// and texts, and a modal showing that "Free Registration..." ends with OK
// after handing the registration address to the shell (our recorder is the
// http handler for the test) and "Close" ends with cancel, opening nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "app/registration_window.h"
#include "framework/application.h"
#include "tests/integration/window_driver.h"

namespace app {
namespace {

constexpr char kHandlerKey[] = "http\\shell\\open\\command";

class RegistrationWindowWin : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = driver::ExecutableFolder() + "url_recorder.log";
    DeleteFileA(log_.c_str());
    ReplaceHandler("\"" + driver::ExecutableFolder() + "url_recorder.exe\" \"%1\"");
    application_.Initialize();
    form_ = application_.CreateForm<TForm2>();
  }
  void TearDown() override {
    if (had_old_) {
      ReplaceHandler(old_);
    } else {
      HKEY key;
      if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHandlerKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, nullptr);
        RegCloseKey(key);
      }
    }
  }

  void ReplaceHandler(const std::string& command) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, kHandlerKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char old[1024];
    DWORD size = sizeof old;
    if (!had_old_ && RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                                      &size) == ERROR_SUCCESS) {
      had_old_ = true;
      old_.assign(old, size > 0 ? size - 1 : 0);
    }
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
  }

  // Posts the click a button reports to its window, to be served by the modal loop.
  void PostClick(fw::TButton* button) {
    PostMessageA(form_->Handle(), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button->Handle())), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button->Handle()));
  }

  // The first address the recorder wrote, waiting up to wait_ms for it.
  std::string RecordedAddress(int wait_ms) {
    for (int waited = 0;; waited += 100) {
      std::ifstream file(log_, std::ios::binary);
      std::string line;
      if (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      if (waited >= wait_ms) return {};
      Sleep(100);
    }
  }

  fw::TApplication application_;
  TForm2* form_ = nullptr;
  std::string log_;
  bool had_old_ = false;
  std::string old_;
};

TEST_F(RegistrationWindowWin, StoredControlsAndTexts) {
  EXPECT_FALSE(IsWindowVisible(form_->Handle()));
  EXPECT_EQ(form_->Caption(), "Form2");
  EXPECT_EQ(form_->ClientWidth(), 417);
  EXPECT_EQ(form_->ClientHeight(), 426);
  EXPECT_EQ(form_->BorderIcons(), 0u);
  EXPECT_EQ(form_->Position(), fw::TPosition::poScreenCenter);
  EXPECT_FALSE(form_->Scaled());
  EXPECT_EQ(form_->Color(), fw::clWhite);
  EXPECT_EQ(form_->Font().Name(), "MS Sans Serif");
  EXPECT_EQ(form_->Font().Height(), -11);

  EXPECT_EQ(form_->Image1->Left(), 0);
  EXPECT_EQ(form_->Image1->Width(), 417);
  EXPECT_EQ(form_->Image1->Height(), 377);
  ASSERT_NE(form_->Image1->Picture().Graphic(), nullptr);
  EXPECT_EQ(form_->Image1->Picture().Graphic()->Width(), 418);
  EXPECT_EQ(form_->Image1->Picture().Graphic()->Height(), 378);

  EXPECT_EQ(form_->HTMLabel1->Left(), 24);
  EXPECT_EQ(form_->HTMLabel1->Top(), 400);
  EXPECT_EQ(form_->HTMLabel1->Width(), 145);
  EXPECT_EQ(form_->HTMLabel1->Height(), 17);
  const std::string link = form_->HTMLabel1->GetHTMLSource();
  EXPECT_NE(link.find(">Visit www.velmo.com now</A>"), std::string::npos) << link;
  EXPECT_EQ(form_->HTMLabel1->URLColor(), 0xFF0000u);
  EXPECT_EQ(form_->HTMLabel1->Font().Name(), "Arial");

  EXPECT_EQ(form_->Button1->Caption(), "Free Registration...");
  EXPECT_EQ(form_->Button1->TabOrder(), 0);
  EXPECT_EQ(form_->Button2->Caption(), "Close");
  EXPECT_EQ(form_->Button2->TabOrder(), 1);
  EXPECT_EQ(form_->Button2->ModalResult(), fw::mrCancel);
  EXPECT_EQ(std::string(kRegistrationAddress).substr(std::string(kRegistrationAddress).size() - 13),
            "/v3athome.htm");
}

TEST_F(RegistrationWindowWin, FreeRegistrationOpensThePageAndEndsTheModalShowingWithOk) {
  PostClick(form_->Button1);
  EXPECT_EQ(form_->ShowModal(), fw::mrOk);
  EXPECT_FALSE(IsWindowVisible(form_->Handle()));
  EXPECT_EQ(RecordedAddress(120000), kRegistrationAddress);
}

TEST_F(RegistrationWindowWin, CloseEndsTheModalShowingWithCancelAndOpensNothing) {
  PostClick(form_->Button2);
  EXPECT_EQ(form_->ShowModal(), fw::mrCancel);
  EXPECT_FALSE(IsWindowVisible(form_->Handle()));
  EXPECT_EQ(RecordedAddress(2000), "");
}

}  // namespace
}  // namespace app
