#include "htmlabel/hint_text.h"

#include <gtest/gtest.h>

namespace htmlabel {
namespace {

TEST(HintTextTest, BreaksBecomeLineBreaksTagsGo) {
  EXPECT_EQ(HintPlainText("a<br>b<HR>c<A href=\"x\">d</A>e"), "a\r\nb\r\ncde");
  EXPECT_EQ(HintPlainText("<bR><Hr>"), "\r\n\r\n");
  EXPECT_EQ(HintPlainText("<BR >x"), "x");  // not the exact tag: removed like any other
}

TEST(HintTextTest, AnOpenTagKeepsTheRest) {
  EXPECT_EQ(HintPlainText("a<b>c<d e"), "ac<d e");
  EXPECT_EQ(HintPlainText("<"), "<");
  EXPECT_EQ(HintPlainText(""), "");
  EXPECT_EQ(HintPlainText("x>y"), "x>y");
}

}  // namespace
}  // namespace htmlabel
