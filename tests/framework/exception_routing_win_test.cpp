// An exception in an event handler, thrown or raised by the processor,
// reaches the application exception handler as an object of the matching
// class, destructors between the fault and the boundary run, and the
// message loop goes on.
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

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    PublishMethod("Clicked", [this](TObject* sender) {
      if (OnButton) OnButton(sender);
    });
    LoadDescriptionText(this,
                        "object TestForm: TTestForm\n"
                        "  Caption = \"Routing\"\n"
                        "  ClientWidth = 200\n"
                        "  ClientHeight = 100\n"
                        "  object Button1: TButton\n"
                        "    Caption = \"Go\"\n"
                        "    OnClick = Clicked\n"
                        "  end\n"
                        "end\n");
    button = dynamic_cast<TButton*>(FindComponent("Button1"));
  }
  std::string ClassName() const override { return "TTestForm"; }

  TNotifyEvent OnButton;
  TButton* button = nullptr;
};

// Counts its destructions: proves unwinding from a fault runs destructors.
struct Witness {
  int* count;
  ~Witness() { ++*count; }
};

volatile int g_zero = 0;
bool g_divide_fault_seen = false;

// A last-resort handler of the test: repairs the divisor register (ECX) of
// the division below and lets it run again.
LONG CALLBACK RepairDivision(EXCEPTION_POINTERS* pointers) {
  if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_INT_DIVIDE_BY_ZERO)
    return EXCEPTION_CONTINUE_SEARCH;
  g_divide_fault_seen = true;
  pointers->ContextRecord->Ecx = 1;
  return EXCEPTION_CONTINUE_EXECUTION;
}
int* volatile g_null = nullptr;

class ExceptionRouting : public ::testing::Test {
 protected:
  void SetUp() override {
    application.Initialize();
    application.SetTitle("Routing test");
    form = application.CreateForm<TTestForm>();
    application.OnException = [this](TObject* sender, const Exception& e) {
      senders.push_back(sender);
      classes.push_back(e.ClassName());
      messages.push_back(e.Message());
    };
    form->Show();
  }

  // Clicks the button through the system and then checks that a message
  // posted after the click is still served by the same loop.
  void ClickAndServe() {
    PostMessageA(form->button->Handle(), BM_CLICK, 0, 0);
    PostMessageA(form->Handle(), WM_NULL, 0, 0);
    bool served = false;
    application.ProcessMessages();
    // The loop goes on: a timer message is dispatched after the failure.
    form->OnButton = nullptr;
    SetTimer(form->Handle(), 1, 1, nullptr);
    MSG message;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
      if (PeekMessageA(&message, form->Handle(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
        served = true;
        break;
      }
      application.ProcessMessages();
      Sleep(1);
    }
    KillTimer(form->Handle(), 1);
    EXPECT_TRUE(served);
  }

  TApplication application;
  TTestForm* form = nullptr;
  std::vector<TObject*> senders;
  std::vector<std::string> classes;
  std::vector<std::string> messages;
};

TEST_F(ExceptionRouting, ThrownExceptionReachesTheHandler) {
  form->OnButton = [](TObject*) { throw EListError("bad index"); };
  ClickAndServe();
  ASSERT_EQ(classes, std::vector<std::string>{"EListError"});
  EXPECT_EQ(messages[0], "bad index");
  EXPECT_EQ(senders[0], form->button);
}

TEST_F(ExceptionRouting, ForeignExceptionArrivesWrapped) {
  form->OnButton = [](TObject*) { throw std::runtime_error("plain"); };
  ClickAndServe();
  ASSERT_EQ(classes, std::vector<std::string>{"Exception"});
  EXPECT_EQ(messages[0], "plain");
}

TEST_F(ExceptionRouting, NullDereferenceArrivesAsAccessViolation) {
  int destroyed = 0;
  form->OnButton = [&](TObject*) {
    Witness witness{&destroyed};
    *g_null = 5;
  };
  ClickAndServe();
  ASSERT_EQ(classes, std::vector<std::string>{"EAccessViolation"});
  EXPECT_EQ(messages[0].rfind("Access violation at address $", 0), 0u) << messages[0];
  EXPECT_NE(messages[0].find(" in module '"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find(". Write of address $0"), std::string::npos) << messages[0];
  EXPECT_EQ(destroyed, 1);
  // A second fault works as well as the first.
  form->OnButton = [&](TObject*) { destroyed += *g_null; };
  ClickAndServe();
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_EQ(classes[1], "EAccessViolation");
  EXPECT_NE(messages[1].find(". Read of address $0"), std::string::npos) << messages[1];
}

TEST_F(ExceptionRouting, IntegerDivisionByZeroArrivesAsEDivByZero) {
  int destroyed = 0;
  int result = 0;
  form->OnButton = [&](TObject*) {
    Witness witness{&destroyed};
    result = 100 / g_zero;
  };
  ClickAndServe();
  ASSERT_EQ(classes, std::vector<std::string>{"EDivByZero"});
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(result, 0);
}

TEST_F(ExceptionRouting, FaultOutsideAGuardIsNotTouched) {
  // Outside every framework boundary the fault goes to the next handler
  // (here a vectored one of the test) instead of being thrown.
  PVOID handler = AddVectoredExceptionHandler(0, RepairDivision);
  int quotient = 0;
  asm volatile("movl $10, %%eax\n\tcdq\n\txorl %%ecx, %%ecx\n\tidivl %%ecx\n\tmovl %%eax, %0"
               : "=r"(quotient)
               :
               : "eax", "ecx", "edx", "cc");
  RemoveVectoredExceptionHandler(handler);
  EXPECT_TRUE(g_divide_fault_seen);
  EXPECT_EQ(quotient, 10);
  EXPECT_TRUE(classes.empty());
}

TEST_F(ExceptionRouting, DescriptionFaultsAreReadErrors) {
  TForm other(nullptr);
  EXPECT_THROW(LoadDescriptionText(&other, "object F: TForm\n  Width = \"wide\"\nend"), EReadError);
  EXPECT_THROW(LoadDescriptionText(&other, "object F: TForm\n  BorderStyle = bsRound\nend"),
               EReadError);
}

}  // namespace
}  // namespace fw
