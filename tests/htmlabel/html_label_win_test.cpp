// THTMLabel on a real form: the description's values arrive, the mouse moves
// from one anchor straight to another (enter, enter, no exit), the hand
// cursor comes and goes, a click on an anchor that is no address goes to
// OnAnchorClick, the hints, and the GDI surface's drawing in pixels.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/description_loader.h"
#include "framework/form.h"
#include "htmlabel/gdi_surface.h"
#include "htmlabel/html_label.h"

namespace htmlabel {
namespace {

class TLinkForm : public fw::TForm {
 public:
  explicit TLinkForm(fw::TComponent* owner) : fw::TForm(owner) {
    fw::LoadDescriptionText(this,
                            "object Links: TLinkForm\n"
                            "  Caption = \"Links\"\n"
                            "  ClientWidth = 300\n"
                            "  ClientHeight = 100\n"
                            "  Color = clWhite\n"
                            "  object Label: THTMLabel\n"
                            "    Left = 20\n"
                            "    Top = 30\n"
                            "    Width = 250\n"
                            "    Height = 20\n"
                            "    Font.Name = \"Arial\"\n"
                            "    Font.Height = -11\n"
                            "    Font.Color = clNavy\n"
                            "    ParentFont = false\n"
                            "    ShowHint = true\n"
                            "    HTMLText = \"<a href=\\\"first\\\">first one</a> <a "
                            "href=\\\"second\\\">\\nsecond</a>\"\n"
                            "    URLColor = clRed\n"
                            "    VAlignment = tvaCenter\n"
                            "    BevelOuter = bvRaised\n"
                            "  end\n"
                            "end\n");
    label = dynamic_cast<THTMLabel*>(FindComponent("Label"));
  }
  std::string ClassName() const override { return "TLinkForm"; }

  THTMLabel* label = nullptr;
};

class HTMLabelWin : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterHTMLabel();
    application.Initialize();
    application.OnException = [this](fw::TObject*, const fw::Exception& e) {
      failures.push_back(e.Message());
    };
    form = application.CreateForm<TLinkForm>();
    ASSERT_NE(form->label, nullptr);
    label = form->label;
    label->OnAnchorEnter = [this](fw::TObject*, const std::string& a) {
      events.push_back("enter " + a);
    };
    label->OnAnchorExit = [this](fw::TObject*, const std::string& a) {
      events.push_back("exit " + a);
    };
    label->OnAnchorClick = [this](fw::TObject*, const std::string& a) {
      events.push_back("click " + a);
    };
    form->Show();
    application.ProcessMessages();
  }
  void TearDown() override { EXPECT_TRUE(failures.empty()) << failures.front(); }

  // A point of the form's client area over the anchor with this target.
  POINT PointOn(const std::string& target) {
    Rect box;
    for (int x = 0; x < label->Width(); ++x) {
      if (label->AnchorAt(x, 10, &box) == target)
        return POINT{label->Left() + x + 2, label->Top() + 10};
    }
    ADD_FAILURE() << "no anchor " << target;
    return POINT{0, 0};
  }

  void MoveTo(POINT point) {
    SendMessageA(form->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
  }

  fw::TApplication application;
  TLinkForm* form = nullptr;
  THTMLabel* label = nullptr;
  std::vector<std::string> events;
  std::vector<std::string> failures;
};

TEST_F(HTMLabelWin, DescriptionValuesAndOneLineText) {
  EXPECT_EQ(label->HTMLText().Count(), 1u);
  EXPECT_EQ(label->GetHTMLSource(),
            "<a href=\"first\">first one</a> <a href=\"second\">second</a>");
  EXPECT_EQ(label->URLColor(), 0x0000FFu);
  EXPECT_EQ(label->VAlignment(), TVAlignment::tvaCenter);
  EXPECT_EQ(label->BevelOuter(), TBevelCut::bvRaised);
  EXPECT_EQ(label->ShadowColor(), 0x808080u);
  EXPECT_EQ(label->ShadowOffset(), 2);
  EXPECT_EQ(label->BevelWidth(), 1);
  EXPECT_FALSE(label->AutoSize());
  EXPECT_TRUE(label->Caption().empty());
  EXPECT_FALSE(label->SetProperty("VAlignment", fw::PropertyValue::Identifier("tvaMiddle")));
  EXPECT_FALSE(label->SetProperty("BevelWidth", fw::PropertyValue::Integer(0)));
  EXPECT_EQ(label->VAlignment(), TVAlignment::tvaCenter);

  // A list of two lines is stored as one line, joined with nothing between.
  fw::TStringList lines;
  lines.Add("<b>one");
  lines.Add("two</b>");
  label->SetHTMLText(lines);
  EXPECT_EQ(label->HTMLText().Count(), 1u);
  EXPECT_EQ(label->HTMLText().Get(0), "<b>onetwo</b>");
}

TEST_F(HTMLabelWin, AnchorToAnchorEntersWithoutExitAndTheCursorFollows) {
  const POINT first = PointOn("first");
  const POINT second = PointOn("second");
  MoveTo(POINT{label->Left() + 1, label->Top() + 1});  // on the label, above the text
  EXPECT_EQ(label->Cursor(), fw::TCursor::crDefault);
  MoveTo(first);
  EXPECT_EQ(label->Cursor(), fw::TCursor::crHandPoint);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
  EXPECT_EQ(label->HoverAnchor(), 1);
  MoveTo(POINT{first.x + 1, first.y});
  MoveTo(second);
  EXPECT_EQ(label->HoverAnchor(), 2);
  MoveTo(POINT{label->Left() + label->Width() - 2, second.y});  // beside the text
  EXPECT_EQ(label->Cursor(), fw::TCursor::crDefault);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  EXPECT_EQ(events, (std::vector<std::string>{"enter first", "enter second", "exit "}));

  // Leaving the label forgets the hovered anchor.
  MoveTo(second);
  EXPECT_EQ(label->HoverAnchor(), 2);
  MoveTo(POINT{5, 5});
  EXPECT_EQ(label->HoverAnchor(), -1);
}

TEST_F(HTMLabelWin, ClicksOnOtherAnchorsGoToTheEventWithAnyButton) {
  const POINT second = PointOn("second");
  for (UINT message : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
    SendMessageA(form->Handle(), message, 0, MAKELPARAM(second.x, second.y));
    SendMessageA(form->Handle(), message + 1, 0, MAKELPARAM(second.x, second.y));
  }
  // Beside the text nothing happens.
  SendMessageA(form->Handle(), WM_LBUTTONDOWN, 0,
               MAKELPARAM(label->Left() + label->Width() - 2, second.y));
  EXPECT_EQ(events, (std::vector<std::string>{"click second", "click second", "click second"}));
}

TEST_F(HTMLabelWin, AnchorHintAndFullTextHint) {
  const POINT first = PointOn("first");
  fw::THintInfo info;
  info.hint_str = "own";
  info.cursor_pos = POINT{first.x - label->Left(), first.y - label->Top()};
  EXPECT_EQ(label->HintShow(info), 0);
  EXPECT_EQ(info.hint_str, "own");  // neither hint kind is on

  label->SetAnchorHint(true);
  label->OnAnchorHint = [](fw::TObject*, std::string& anchor) { anchor += "!"; };
  EXPECT_EQ(label->HintShow(info), 0);
  EXPECT_EQ(info.hint_str, "first!");
  POINT screen{first.x + 10, first.y - 10};
  ClientToScreen(form->Handle(), &screen);
  EXPECT_EQ(info.hint_pos.x, screen.x);
  EXPECT_EQ(info.hint_pos.y, screen.y);

  label->SetHintShowFull(true);
  info.cursor_pos = POINT{label->Width() - 2, 10};
  label->HintShow(info);
  EXPECT_EQ(info.hint_str, "first one second");
  label->SetHTMLHint(true);
  label->HintShow(info);
  EXPECT_EQ(info.hint_str, label->GetHTMLSource());

  // The form asks the label when the mouse enters it.
  MoveTo(POINT{5, 5});
  MoveTo(first);
  EXPECT_EQ(application.Hint(), "first!");
}

// The GDI surface draws what it is asked in the colours it is given.
TEST(GdiSurface, TextFillsAndLinesInPixels) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 40);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  {
    Font font;
    font.name = "Arial";
    font.size = 20;
    font.color = 0xFF0000;
    font.style = kUnderline;
    GdiSurface surface(dc, font, 0xFFFFFF);
    surface.FillRect(Rect{0, 0, 100, 40});
    Rect rect{0, 0, 100, 40};
    const int height = surface.DrawText("&&A", &rect, text_format::kSingleLine);
    EXPECT_GT(height, 20);
    Rect measured{0, 0, 0, 0};
    surface.DrawText("&&A", &measured, text_format::kSingleLine | text_format::kCalcRect);
    EXPECT_GT(measured.right, 10);
    EXPECT_EQ(measured.right, surface.TextExtent("&A").cx);
    // A trailing blank is measured, as the renderer formats its runs.
    constexpr unsigned kRunFormat = text_format::kSingleLine | text_format::kBottom |
                                    text_format::kExpandTabs | text_format::kExternalLeading;
    Rect blank{20, 0, 100, 40};
    surface.DrawText("www.velmo.com ", &blank, kRunFormat | text_format::kCalcRect);
    EXPECT_EQ(blank.right - blank.left, surface.TextExtent("www.velmo.com ").cx);
    font.size = 8;
    surface.SetFont(font);
    blank = Rect{20, 0, 100, 40};
    surface.DrawText("www.velmo.com ", &blank, kRunFormat | text_format::kCalcRect);
    EXPECT_EQ(blank.right - blank.left, surface.TextExtent("www.velmo.com ").cx);
    EXPECT_GT(surface.TextExtent("www.velmo.com ").cx, surface.TextExtent("www.velmo.com").cx);
    surface.SetPen(Pen{0x0000FF, 1, PenStyle::kSolid});
    surface.MoveTo(0, 39);
    surface.LineTo(100, 39);
    surface.SetClipRect(&rect);
    surface.SetClipRect(nullptr);
  }
  EXPECT_EQ(GetPixel(dc, 50, 39), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 99, 0), RGB(255, 255, 255));
  int blue = 0;
  for (int y = 0; y < 38; ++y) {
    for (int x = 0; x < 100; ++x)
      blue += GetPixel(dc, x, y) == RGB(0, 0, 255);
  }
  EXPECT_GT(blue, 10);  // at least the underline
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
}  // namespace htmlabel
