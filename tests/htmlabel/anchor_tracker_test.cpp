#include "htmlabel/anchor_tracker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace htmlabel {
namespace {

using ::testing::ElementsAre;

TEST(ClickActionFor, WebAndMailAddressesOpenOtherAnchorsAreEvents) {
  EXPECT_EQ(ClickActionFor("http://www.velmo.com"), AnchorClickAction::kOpenWithShell);
  EXPECT_EQ(ClickActionFor("ftp://host/file"), AnchorClickAction::kOpenWithShell);
  EXPECT_EQ(ClickActionFor("mailto:someone@velmo.com"), AnchorClickAction::kOpenWithShell);
  EXPECT_EQ(ClickActionFor("write mailto:x"), AnchorClickAction::kOpenWithShell);
  // Exact case only.
  EXPECT_EQ(ClickActionFor("MAILTO:someone@velmo.com"), AnchorClickAction::kRaiseEvent);
  EXPECT_EQ(ClickActionFor("page2"), AnchorClickAction::kRaiseEvent);
  EXPECT_EQ(ClickActionFor("http:/one-slash"), AnchorClickAction::kRaiseEvent);
  EXPECT_EQ(ClickActionFor(""), AnchorClickAction::kNothing);
}

// Moves the tracker as the label does: the hit test records the number first.
class AnchorTrackerTest : public ::testing::Test {
 protected:
  HoverActions Move(std::string target, int index, Rect box, bool hover = false,
                    bool anchor_hint = false) {
    AnchorHit hit{std::move(target), box, index};
    tracker_.SetHoverIndex(index);
    HoverActions actions = tracker_.MouseMove(hit, !hand_, hand_, hover, anchor_hint);
    if (actions.hand_cursor) hand_ = *actions.hand_cursor;
    return actions;
  }

  AnchorTracker tracker_;
  bool hand_ = false;
  const Rect kNone{-1, -1, -1, -1};
  const Rect kFirst{1, 0, 41, 20};
  const Rect kSecond{51, 0, 91, 20};
};

TEST_F(AnchorTrackerTest, EnterOnceMoveToAnotherAnchorWithoutExitThenLeave) {
  HoverActions a = Move("http://one", 1, kFirst);
  EXPECT_EQ(a.debug_number, 1);
  EXPECT_EQ(a.hand_cursor, true);
  EXPECT_TRUE(a.raise_enter);
  EXPECT_EQ(a.anchor, "http://one");
  EXPECT_FALSE(a.raise_exit);
  EXPECT_FALSE(a.cancel_hint);
  EXPECT_TRUE(a.invalidate.empty());

  // Further moves over the same anchor change nothing.
  a = Move("http://one", 1, kFirst);
  EXPECT_FALSE(a.debug_number || a.hand_cursor || a.raise_enter || a.raise_exit);

  // Straight onto the next anchor: entered, the first never left.
  a = Move("http://two", 2, kSecond);
  EXPECT_EQ(a.debug_number, 2);
  EXPECT_TRUE(a.raise_enter);
  EXPECT_EQ(a.anchor, "http://two");
  EXPECT_FALSE(a.raise_exit);
  EXPECT_FALSE(a.hand_cursor == false);

  // Off the anchors: default cursor and one exit.
  a = Move("", -1, kNone);
  EXPECT_EQ(a.hand_cursor, false);
  EXPECT_TRUE(a.raise_exit);
  EXPECT_FALSE(a.raise_enter);
  a = Move("", -1, kNone);
  EXPECT_FALSE(a.raise_exit || a.hand_cursor);

  // Back onto the same anchor: entered again.
  a = Move("http://two", 2, kSecond);
  EXPECT_TRUE(a.raise_enter);
}

TEST_F(AnchorTrackerTest, TwoAnchorsWithOneTargetAreEnteredOneByOne) {
  Move("same", 1, kFirst);
  const HoverActions a = Move("same", 2, kSecond);
  EXPECT_TRUE(a.raise_enter);
  EXPECT_EQ(a.debug_number, 2);
}

TEST_F(AnchorTrackerTest, HoverRepaintsTheOldAndTheNewAnchorBox) {
  HoverActions a = Move("one", 1, kFirst, /*hover=*/true, /*anchor_hint=*/true);
  EXPECT_TRUE(a.cancel_hint);
  // The stored box (nothing yet) twice, then the new one.
  EXPECT_THAT(a.invalidate, ElementsAre(Rect{}, Rect{}, kFirst));
  a = Move("two", 2, kSecond, true);
  EXPECT_THAT(a.invalidate, ElementsAre(kFirst, kFirst, kSecond));
  a = Move("", -1, kNone, true);
  EXPECT_THAT(a.invalidate, ElementsAre(kSecond, kNone));
  EXPECT_FALSE(a.repaint);

  // Leaving the label repaints the hovered box once and forgets the number.
  Move("one", 1, kFirst, true);
  a = tracker_.MouseLeave(true);
  EXPECT_THAT(a.invalidate, ElementsAre(kFirst));
  EXPECT_EQ(tracker_.HoverIndex(), -1);
  EXPECT_TRUE(tracker_.MouseLeave(true).invalidate.empty());
}

}  // namespace
}  // namespace htmlabel
