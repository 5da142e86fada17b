// The box's arrangement against numbers worked out by hand: caption widths mail 80,
// show 80, continue 42, restart 40, terminate 47 (buttons 39 wider), a caption height of
// 18, a 1024 x 768 screen, and a message of a given length in pixels wrapped into lines
// of 13.
#include "crash/box/box_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace crash {
namespace {

// A message of length pixels on one line, broken into lines of 13 where it is wider.
class FakeMessage : public MessageMeasure {
 public:
  explicit FakeMessage(int length) : length_(length) {}
  BoxSize Wrapped(int width) const override {
    asked = width;
    const int lines = (length_ + width - 1) / width;
    return {std::min(length_, width), lines * 13};
  }
  mutable int asked = 0;

 private:
  int length_;
};

BoxFacts Facts(bool can_continue = true) {
  BoxFacts facts;
  facts.can_continue = can_continue;
  facts.caption_widths = {80, 60, 50, 80, 42, 40, 47};
  facts.caption_height = 18;
  facts.screen_width = 1024;
  facts.screen_height = 768;
  return facts;
}

BoxRect At(const BoxLayout& layout, int action) {
  EXPECT_TRUE(layout.buttons[action].exists) << "button " << action;
  return layout.buttons[action].rect;
}

TEST(BoxLayout, DefaultSettingsStackTheExitsBesideTheReport) {
  const FakeMessage message(300);
  const BoxLayout layout = LayOutBox(CrashSettings{}, Facts(), message);
  EXPECT_EQ(layout.kind, BoxLayoutKind::Stacked);
  EXPECT_EQ(message.asked, 538 - (86 + 40));
  EXPECT_EQ(layout.width, 538);  // 426, widened for the report shown at once
  EXPECT_EQ(layout.exit_width, 86);
  EXPECT_EQ(layout.bitmap_width, 115);
  EXPECT_FALSE(layout.buttons[3].exists) << "no show button when the report shows at once";
  EXPECT_FALSE(layout.buttons[1].exists);
  EXPECT_FALSE(layout.buttons[5].exists);
  EXPECT_EQ(At(layout, 0), (BoxRect{6, 44, 115, 22}));
  EXPECT_EQ(At(layout, 4), (BoxRect{444, 18, 82, 22}));
  EXPECT_EQ(At(layout, 6), (BoxRect{444, 44, 82, 22}));
  EXPECT_TRUE(layout.buttons[4].enabled);
  EXPECT_EQ(layout.default_button, 6);
  EXPECT_EQ(layout.automatic, -1);
  EXPECT_FALSE(layout.system_menu) << "two ways out: continue and terminate";
  EXPECT_EQ(layout.message, (BoxRect{11, 12, 300, 13}));
  EXPECT_FALSE(layout.icon_holder);
  ASSERT_TRUE(layout.report_area);
  EXPECT_EQ(layout.report_top, 78);
  EXPECT_EQ(layout.grey_frame, (BoxRect{6, 75, 521, 395}));
  EXPECT_EQ(layout.white_frame, (BoxRect{5, 74, 521, 395}));
  EXPECT_EQ(layout.report_edit, (BoxRect{7, 6, 508, 383}));
  EXPECT_EQ(layout.small_height, 96);
  EXPECT_EQ(layout.full_height, 499);
  EXPECT_EQ(layout.height, 499);
  EXPECT_EQ(layout.left, 243);
  EXPECT_EQ(layout.top, 134);
  EXPECT_EQ(CloseRequestAction(layout, true), -1);
}

TEST(BoxLayout, NotContinuableDisablesContinueAndOpensTheSystemMenu) {
  const BoxLayout layout = LayOutBox(CrashSettings{}, Facts(false), FakeMessage(300));
  EXPECT_FALSE(layout.buttons[4].enabled);
  EXPECT_EQ(layout.buttons[4].action, kCantContinueAction);
  EXPECT_TRUE(layout.system_menu) << "terminate is the only way out";
  EXPECT_EQ(CloseRequestAction(layout, false), 6);
  // Focus on the disabled continue would leave Enter without a button.
  CrashSettings focus_continue;
  focus_continue.FocusedButton = 4;
  EXPECT_EQ(LayOutBox(focus_continue, Facts(false), FakeMessage(300)).default_button, -1);
  EXPECT_EQ(LayOutBox(focus_continue, Facts(true), FakeMessage(300)).default_button, 4);
}

TEST(BoxLayout, AnEmptyCaptionRemovesExactlyItsButtonAndWidth) {
  CrashSettings no_mail;
  no_mail.MailCaption = "";
  BoxLayout layout = LayOutBox(no_mail, Facts(), FakeMessage(300));
  EXPECT_EQ(layout.kind, BoxLayoutKind::Row);
  EXPECT_FALSE(layout.buttons[0].exists);
  EXPECT_EQ(At(layout, 4), (BoxRect{363, 44, 77, 22}));
  EXPECT_EQ(At(layout, 6), (BoxRect{444, 44, 82, 22}));
  EXPECT_TRUE(layout.report_area) << "the report shows at once";

  CrashSettings no_continue;
  no_continue.ContinueCaption = "";
  layout = LayOutBox(no_continue, Facts(), FakeMessage(300));
  EXPECT_EQ(layout.kind, BoxLayoutKind::Row) << "one exit button";
  EXPECT_EQ(layout.exit_rows, 2) << "one exit counts as two rows";
  EXPECT_EQ(At(layout, 0), (BoxRect{6, 44, 115, 22}));
  EXPECT_EQ(At(layout, 6), (BoxRect{444, 44, 82, 22}));
  EXPECT_TRUE(layout.system_menu);
  EXPECT_EQ(CloseRequestAction(layout, true), 6);

  CrashSettings no_close;
  no_close.CloseCaption = "";
  layout = LayOutBox(no_close, Facts(), FakeMessage(300));
  EXPECT_EQ(At(layout, 4), (BoxRect{449, 44, 77, 22}));
  EXPECT_EQ(layout.default_button, -1);
  EXPECT_EQ(CloseRequestAction(layout, true), 4);
  EXPECT_EQ(CloseRequestAction(layout, false), 6);
}

TEST(BoxLayout, ThreeExitButtons) {
  CrashSettings three;
  three.RestartCaption = "restart";
  BoxLayout layout = LayOutBox(three, Facts(), FakeMessage(300));
  EXPECT_EQ(layout.kind, BoxLayoutKind::Stacked);
  EXPECT_EQ(layout.buttons_top, 7) << "one row up, not above 7";
  EXPECT_EQ(At(layout, 4), (BoxRect{444, 7, 82, 22}));
  EXPECT_EQ(At(layout, 5), (BoxRect{444, 33, 82, 22}));
  EXPECT_EQ(At(layout, 6), (BoxRect{444, 59, 82, 22}));
  EXPECT_EQ(At(layout, 0), (BoxRect{6, 59, 115, 22}));
  EXPECT_EQ(layout.report_top, 93);
  // A message of four lines keeps the rows below it.
  layout = LayOutBox(three, Facts(), FakeMessage(1600));
  EXPECT_EQ(layout.buttons_top, 57 - 26);

  // In a row: no left buttons, all three in row 1.
  three.MailCaption = "";
  three.ShowDetailsInitially = false;
  three.ShowCaption = "";
  layout = LayOutBox(three, Facts(), FakeMessage(300));
  EXPECT_EQ(layout.kind, BoxLayoutKind::Row);
  EXPECT_EQ(layout.width, 326);
  EXPECT_EQ(At(layout, 4), (BoxRect{72, 44, 77, 22}));
  EXPECT_EQ(At(layout, 5), (BoxRect{153, 44, 75, 22}));
  EXPECT_EQ(At(layout, 6), (BoxRect{232, 44, 82, 22}));
  EXPECT_FALSE(layout.report_area);
  EXPECT_EQ(layout.height, 96);
  EXPECT_FALSE(layout.system_menu);
  EXPECT_EQ(layout.left, (1024 - 538) / 2) << "centred as if the report were shown";
}

TEST(BoxLayout, LongMessageWrapsAndWidensOnlyToItsMeasuredWidth) {
  CrashSettings later;
  later.ShowDetailsInitially = false;
  // B = mail 119 + show 119 + exit 86 + 14 = 338.
  BoxLayout layout = LayOutBox(later, Facts(), FakeMessage(100));
  EXPECT_EQ(layout.width, 338);
  EXPECT_EQ(layout.report_width, 538);
  EXPECT_EQ(layout.height, layout.small_height);
  EXPECT_EQ(At(layout, 3), (BoxRect{125, 44, 115, 22}));

  const FakeMessage long_message(2000);
  layout = LayOutBox(later, Facts(), long_message);
  EXPECT_EQ(long_message.asked, 412);
  EXPECT_EQ(layout.message, (BoxRect{11, 12, 412, 65}));
  EXPECT_EQ(layout.width, 538);
  EXPECT_EQ(layout.buttons_top, 70);

  // Buttons wider than the report: the message wraps in what they leave.
  CrashSettings wide = later;
  wide.SaveCaption = "save bug report";
  wide.PrintCaption = "print bug report";
  BoxFacts facts = Facts();
  facts.caption_widths[1] = 100;
  const FakeMessage wide_message(2000);
  layout = LayOutBox(wide, facts, wide_message);
  EXPECT_EQ(layout.width, 119 + 139 + 89 + 119 + 86 + 14);
  EXPECT_EQ(wide_message.asked, layout.width - 126);
}

TEST(BoxLayout, BigIconTakesItsRoomAndCentresAShortMessage) {
  BoxFacts facts = Facts();
  facts.big_icon = true;
  const FakeMessage message(300);
  BoxLayout layout = LayOutBox(CrashSettings{}, facts, message);
  EXPECT_EQ(message.asked, 538 - 166);
  EXPECT_TRUE(layout.icon_holder);
  EXPECT_EQ(layout.icon_rect, (BoxRect{9, 10, 32, 32}));
  EXPECT_EQ(layout.message, (BoxRect{51, 18, 300, 13}));
  EXPECT_EQ(layout.buttons_top, 31);
  layout = LayOutBox(CrashSettings{}, facts, FakeMessage(800));  // three lines
  EXPECT_EQ(layout.message.y, 12);
  EXPECT_EQ(layout.buttons_top, 44);
}

TEST(BoxLayout, FocusAndTheAutomaticButtonFollowTheRules) {
  CrashSettings settings;
  settings.RestartCaption = "restart";
  settings.AutoContinue = true;
  BoxFacts facts = Facts();
  BoxLayout layout = LayOutBox(settings, facts, FakeMessage(300));
  EXPECT_EQ(layout.focused, 4);
  EXPECT_EQ(layout.automatic, 4);
  EXPECT_EQ(layout.default_button, 4);
  facts.auto_restart_holds = true;
  layout = LayOutBox(settings, facts, FakeMessage(300));
  EXPECT_EQ(layout.automatic, 5);
  EXPECT_EQ(layout.default_button, 5);
  facts.auto_close_holds = true;
  layout = LayOutBox(settings, facts, FakeMessage(300));
  EXPECT_EQ(layout.automatic, 6);
  // Not continuable: no countdown on continue, the setting's focus stays.
  layout = LayOutBox(settings, Facts(false), FakeMessage(300));
  EXPECT_EQ(layout.automatic, -1);
  EXPECT_EQ(layout.focused, 6);
  // Without owner-drawn buttons there is no countdown, but the focus still moves.
  settings.AnimatedButtons = false;
  layout = LayOutBox(settings, Facts(), FakeMessage(300));
  EXPECT_EQ(layout.automatic, -1);
  EXPECT_EQ(layout.focused, 4);
}

TEST(BoxLayout, WithoutExitButtonsTheLeftButtonsKeepTheirOwnRow) {
  CrashSettings settings;
  settings.ContinueCaption = settings.CloseCaption = "";
  const BoxLayout layout = LayOutBox(settings, Facts(), FakeMessage(300));
  EXPECT_EQ(At(layout, 0), (BoxRect{6, 44, 115, 22})) << "below the message, not over it";
  EXPECT_EQ(layout.report_top, 18 + 2 * 26 + 8);
  BoxFacts icon = Facts();
  icon.big_icon = true;
  EXPECT_EQ(At(LayOutBox(settings, icon, FakeMessage(300)), 0).y, 31 + 26) << "below the icon";
  EXPECT_TRUE(layout.system_menu);
  EXPECT_EQ(CloseRequestAction(layout, true), 4);
  EXPECT_EQ(CloseRequestAction(layout, false), 6);
}

}  // namespace
}  // namespace crash
