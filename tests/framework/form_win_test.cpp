// A form built from a description into real controls: the property values
// arrive, labels size or wrap, fonts follow the parent until set, the keys
// press the default and cancel buttons, graphic controls get mouse input
// from their form, and ShowModal ends with the button's modal result.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/button.h"
#include "framework/description_loader.h"
#include "framework/form.h"
#include "framework/label.h"

namespace fw {
namespace {

class TSampleForm : public TForm {
 public:
  explicit TSampleForm(TComponent* owner) : TForm(owner) {
    PublishMethod("Pressed", [this](TObject* sender) { pressed.push_back(sender); });
    LoadDescriptionText(this,
                        "object Sample: TSampleForm\n"
                        "  Caption = \"Sample\"\n"
                        "  ClientWidth = 300\n"
                        "  ClientHeight = 200\n"
                        "  Color = clWhite\n"
                        "  Font.Name = \"Arial\"\n"
                        "  Font.Height = -11\n"
                        "  Font.Color = clNavy\n"
                        "  object Sized: TLabel\n"
                        "    Left = 10\n"
                        "    Top = 10\n"
                        "    Width = 5\n"
                        "    Height = 5\n"
                        "    Caption = \"Sized to its text\"\n"
                        "    OnClick = Pressed\n"
                        "  end\n"
                        "  object Wrapped: TLabel\n"
                        "    Left = 10\n"
                        "    Top = 40\n"
                        "    Width = 60\n"
                        "    Height = 70\n"
                        "    AutoSize = false\n"
                        "    WordWrap = true\n"
                        "    Caption = \"a long text that wraps\"\n"
                        "    Font.Height = -16\n"
                        "    Font.Color = clBlack\n"
                        "  end\n"
                        "  object Ok: TButton\n"
                        "    Left = 100\n"
                        "    Top = 160\n"
                        "    Caption = \"OK\"\n"
                        "    Default = true\n"
                        "    ModalResult = mrOk\n"
                        "    TabOrder = 1\n"
                        "    OnClick = Pressed\n"
                        "  end\n"
                        "  object Stop: TButton\n"
                        "    Left = 200\n"
                        "    Top = 160\n"
                        "    Caption = \"Stop\"\n"
                        "    Cancel = true\n"
                        "    TabOrder = 0\n"
                        "    OnClick = Pressed\n"
                        "  end\n"
                        "end\n");
    sized = dynamic_cast<TLabel*>(FindComponent("Sized"));
    wrapped = dynamic_cast<TLabel*>(FindComponent("Wrapped"));
    ok = dynamic_cast<TButton*>(FindComponent("Ok"));
    stop = dynamic_cast<TButton*>(FindComponent("Stop"));
  }
  std::string ClassName() const override { return "TSampleForm"; }

  std::vector<TObject*> pressed;
  TLabel* sized = nullptr;
  TLabel* wrapped = nullptr;
  TButton* ok = nullptr;
  TButton* stop = nullptr;
};

class Form : public ::testing::Test {
 protected:
  void SetUp() override {
    application.Initialize();
    application.OnException = [this](TObject*, const Exception& e) {
      failures.push_back(e.Message());
    };
    form = application.CreateForm<TSampleForm>();
    ASSERT_TRUE(form->sized && form->wrapped && form->ok && form->stop);
  }
  void TearDown() override { EXPECT_TRUE(failures.empty()) << failures.front(); }

  TApplication application;
  TSampleForm* form = nullptr;
  std::vector<std::string> failures;
};

TEST_F(Form, PropertiesArriveAndLabelsSizeOrWrap) {
  RECT client;
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
  EXPECT_EQ(application.MainForm(), form);
  EXPECT_EQ(GetWindow(form->Handle(), GW_OWNER), application.Handle());

  // Sized to one line of its text; the fixed one keeps the given box.
  EXPECT_GT(form->sized->Width(), 50);
  EXPECT_GT(form->sized->Height(), 5);
  EXPECT_LT(form->sized->Height(), 30);
  EXPECT_EQ(form->wrapped->Width(), 60);
  EXPECT_EQ(form->wrapped->Height(), 70);

  // Fonts: the first label follows the form's, the second set its own.
  EXPECT_TRUE(form->sized->ParentFont());
  EXPECT_EQ(form->sized->Font().Name(), "Arial");
  EXPECT_EQ(form->sized->Font().Color(), clNavy);
  EXPECT_FALSE(form->wrapped->ParentFont());
  EXPECT_EQ(form->wrapped->Font().Height(), -16);
  EXPECT_EQ(form->wrapped->Font().Name(), "Arial");
  EXPECT_EQ(form->sized->Color(), clWhite);
  form->Font().SetHeight(-20);
  EXPECT_EQ(form->sized->Font().Height(), -20);
  EXPECT_EQ(form->wrapped->Font().Height(), -16);

  EXPECT_EQ(GetWindowLongA(form->ok->Handle(), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
  const auto tabs = form->TabList();
  ASSERT_EQ(tabs.size(), 2u);
  EXPECT_EQ(tabs[0], form->stop);
}

TEST_F(Form, KeysPressTheDefaultAndCancelButtons) {
  form->Show();
  EXPECT_TRUE(form->stop->Focused());  // TabOrder 0
  // Enter on a focused button presses that button.
  EXPECT_TRUE(form->DialogKey(VK_RETURN));
  // Tab moves on; Enter on a non-button focus would press the default.
  EXPECT_TRUE(form->DialogKey(VK_TAB));
  EXPECT_TRUE(form->ok->Focused());
  EXPECT_TRUE(form->DialogKey(VK_RETURN));
  EXPECT_TRUE(form->DialogKey(VK_ESCAPE));
  EXPECT_EQ(form->pressed, (std::vector<TObject*>{form->stop, form->ok, form->stop}));
  EXPECT_EQ(form->ModalResult(), mrOk);
}

TEST_F(Form, GraphicControlsGetMouseInputFromTheForm) {
  std::vector<std::string> events;
  form->sized->OnMouseEnter = [&](TObject*) { events.push_back("enter"); };
  form->sized->OnMouseLeave = [&](TObject*) { events.push_back("leave"); };
  form->sized->OnMouseDown = [&](TObject*, TMouseButton, unsigned, int x, int y) {
    events.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  };
  form->Show();
  SendMessageA(form->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(12, 12));
  SendMessageA(form->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(13, 12));
  SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(13, 12));
  SendMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(13, 12));
  SendMessageA(form->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(250, 100));
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "down 3,2", "leave"}));
  EXPECT_EQ(form->pressed, std::vector<TObject*>{form->sized});
}

TEST_F(Form, ShowModalEndsWithTheButtonsResult) {
  TSampleForm* dialog = application.CreateForm<TSampleForm>();
  PostMessageA(dialog->ok->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
  EXPECT_FALSE(application.Terminated());
}

}  // namespace
}  // namespace fw
