#include "htmlabel/draw_html.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/htmlabel/test_surface.h"

namespace htmlabel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Glyphs of the 10-point base font are 10 pixels wide and 20 high; the line
// rectangle starts 1 pixel right of the bounds, so a 100-pixel-wide area
// holds 99 pixels of text.
class DrawHtmlTest : public ::testing::Test {
 protected:
  DrawHtmlTest() {
    Font font;
    font.name = "Arial";
    font.size = 10;
    font.color = 0x000000;
    surface_.SetFont(font);
    args_.Bounds = Rect{0, 0, 100, 200};
  }

  bool Draw(std::string_view markup) {
    surface_.ClearCalls();
    return DrawHTML(surface_, markup, args_, results_);
  }

  // The recorded text calls only.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& call : surface_.Calls()) {
      if (call.starts_with("text ")) texts.push_back(call);
    }
    return texts;
  }

  TestSurface surface_;
  DrawHtmlArgs args_;
  DrawHtmlResults results_;
};

TEST_F(DrawHtmlTest, EntitiesAndPrefixes) {
  Draw("a&amp;b &Hello &lt;b&GT;x &permil;");
  EXPECT_THAT(
      Texts(),
      ElementsAre("text [1,0,100,20] \"a&b \" fmt=268 font=\"Arial\",10,00000000",
                  "text [1,20,100,40] \"Hello \" prefix=0 fmt=268 font=\"Arial\",10,00000000",
                  "text [1,40,100,60] \"<b>x \" fmt=268 font=\"Arial\",10,00000000",
                  "text [51,40,100,60] \"\x89\" fmt=268 font=\"Arial\",10,00000000"));
  // The angle brackets never formed a tag: no bold anywhere. A run moved to
  // the next line is in the plain text once.
  EXPECT_EQ(results_.PlainText, "a&&b &Hello <b>x \x89");
}

TEST_F(DrawHtmlTest, LayoutEntitiesRepeatUntilNoneIsLeft) {
  Draw("&amp;amp;|&AMP;quot;|&Euro;");
  EXPECT_EQ(results_.PlainText, "&&&|&\"|\x80");
}

TEST_F(DrawHtmlTest, WordWiderThanTheLineStandsAlone) {
  Draw("aaaaaaaaaaaaaaa bb");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("[1,0,100,20] \"aaaaaaaaaaaaaaa \""),
                                   HasSubstr("[1,20,100,40] \"bb\"")));
  EXPECT_EQ(results_.ExtentX, 150);
  EXPECT_EQ(results_.ExtentY, 40);
}

TEST_F(DrawHtmlTest, TwoWordsThatDoNotFitTakeTwoLines) {
  Draw("hello world");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("[1,0,100,20] \"hello \""),
                                   HasSubstr("[1,20,100,40] \"world\"")));
  EXPECT_EQ(results_.ExtentX, 50);  // the blank after "hello" does not count
}

TEST_F(DrawHtmlTest, WordPiecesJoinedByATagStayTogether) {
  Draw("abc abcd<B>efgh</B> x");
  EXPECT_THAT(Texts(),
              ElementsAre(HasSubstr("[1,0,100,20] \"abc \""), HasSubstr("[41,0,100,20] \"abcd\""),
                          HasSubstr("[81,0,100,20] \"efgh\" fmt=268 font=\"Arial\",10,00000000,B"),
                          HasSubstr("[121,0,100,20] \" \""), HasSubstr("[1,20,100,40] \"x\"")));
  EXPECT_EQ(results_.ExtentX, 120);
}

TEST_F(DrawHtmlTest, EllipsisModeDropsEverythingAfterTheFirstRunThatDoesNotFit) {
  args_.WrapWords = false;
  Draw("abcdefghijklmnop<B>xyz</B> more<BR>next");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("[1,0,100,20] \"abcdef...\" fmt=8268"),
                                   HasSubstr("[91,0,100,20] \"...\" fmt=8268")));
  EXPECT_EQ(results_.PlainText, "abcdefghijklmnopxyz");
  EXPECT_EQ(results_.ExtentY, 20);
}

TEST_F(DrawHtmlTest, ExtentsOfEmptyTextAndOfATrailingBlank) {
  Draw("");
  EXPECT_EQ(results_.ExtentX, 0);
  EXPECT_EQ(results_.ExtentY, 20);
  EXPECT_TRUE(surface_.Calls().empty());
  Draw("ab ");
  EXPECT_EQ(results_.ExtentX, 20);
  EXPECT_EQ(results_.ExtentY, 20);
}

TEST_F(DrawHtmlTest, AlignmentAndIndentStayInForceOverLines) {
  // A P tag within a line aligns the whole line, as the line is placed after it is measured.
  Draw(
      "<P align=\"right\">ab</P>cd<BR>efg<P align=\"center\">h<BR><P indent=\"7\" "
      "align=\"left\">i");
  EXPECT_THAT(Texts(),
              ElementsAre(HasSubstr("[80,0,100,20] \"ab\""), HasSubstr("[80,20,100,40] \"cd\""),
                          HasSubstr("[30,40,100,60] \"efg\""), HasSubstr("[60,40,100,60] \"h\""),
                          HasSubstr("[8,60,100,80] \"i\"")));
}

TEST_F(DrawHtmlTest, FontSizesOneToFiveAreStepsOthersArePoints) {
  Draw(
      "<FONT size=\"3\">a</FONT><FONT SIZE=20>b</FONT>c<FONT face=\"Courier\" "
      "color=\"#00FF00\" size=\"1\">d");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("[1,0,100,40] \"a\" fmt=268 font=\"Arial\",12,"),
                                   HasSubstr("[13,0,100,40] \"b\" fmt=268 font=\"Arial\",20,"),
                                   HasSubstr("[33,0,100,40] \"c\" fmt=268 font=\"Arial\",10,"),
                                   HasSubstr("\"d\" fmt=268 font=\"COURIER\",8,0000ff00")));
  EXPECT_EQ(results_.ExtentY, 40);  // the line is as high as its tallest run
}

TEST_F(DrawHtmlTest, EveryAnchorIsStyledUnlessHoverOnly) {
  const char* markup = "<A href=\"x\">one</A> <A href=\"y\">two</A>";
  args_.URLColor = 0xFF0000;
  args_.HoverColor = 0x00FF00;
  args_.HoverFontColor = 0x0000FF;
  args_.HoverIndex = 2;
  Draw(markup);
  // Without hover-only every anchor is underlined, in URLColor on the hover background.
  EXPECT_THAT(Texts(),
              ElementsAre(HasSubstr("\"one\" fmt=268 font=\"Arial\",10,00ff0000,U bk=0000ff00"),
                          HasSubstr("\" \" fmt=268 font=\"Arial\",10,00000000"),
                          HasSubstr("\"two\" fmt=268 font=\"Arial\",10,00ff0000,U bk=0000ff00")));
  args_.HoverOnly = true;
  Draw(markup);
  EXPECT_THAT(Texts(),
              ElementsAre(HasSubstr("\"one\" fmt=268 font=\"Arial\",10,00ff0000"),
                          HasSubstr("\" \" fmt=268 font=\"Arial\",10,00000000"),
                          HasSubstr("\"two\" fmt=268 font=\"Arial\",10,000000ff,U bk=0000ff00")));
  EXPECT_THAT(Texts()[0], Not(HasSubstr(",U")));
  EXPECT_THAT(Texts()[0], Not(HasSubstr("bk=")));
  EXPECT_EQ(results_.AnchorCount, 2);
}

TEST_F(DrawHtmlTest, HitTestGivesTargetNumberAndBox) {
  args_.NoDraw = true;
  args_.MouseX = 40;
  args_.MouseY = 10;
  results_.AnchorAtMouse = "before";
  EXPECT_TRUE(Draw("ab <A href=\"http://x/\">link</A> <A href=\"y\">cd</A>"));
  EXPECT_TRUE(surface_.Calls().empty());
  EXPECT_EQ(results_.AnchorAtMouse, "http://x/");
  EXPECT_EQ(results_.AnchorIndexAtMouse, 1);
  EXPECT_EQ(results_.AnchorBounds, (Rect{31, 0, 71, 20}));
  EXPECT_EQ(results_.AnchorCount, 2);

  args_.MouseX = 75;  // the blank between the anchors
  results_.AnchorAtMouse = "kept";
  EXPECT_FALSE(Draw("ab <A href=\"http://x/\">link</A> <A href=\"y\">cd</A>"));
  EXPECT_EQ(results_.AnchorAtMouse, "kept");
  EXPECT_EQ(results_.AnchorIndexAtMouse, -1);
}

TEST_F(DrawHtmlTest, HitTestFindsAnchorsOnAlignedLinesOnly) {
  args_.NoDraw = true;
  // The anchor is drawn at 80..100 on the right; its measured place on the
  // left is no hit.
  args_.MouseX = 5;
  args_.MouseY = 10;
  EXPECT_FALSE(Draw("<P align=\"right\"><A href=\"r\">ab</A>"));
  EXPECT_EQ(results_.AnchorIndexAtMouse, -1);
  args_.MouseX = 90;
  EXPECT_TRUE(Draw("<P align=\"right\"><A href=\"r\">ab</A>"));
  EXPECT_EQ(results_.AnchorBounds, (Rect{80, 0, 100, 20}));
  // A point below an anchor's line, beside the next line's text, is no hit.
  args_.MouseX = 5;
  args_.MouseY = 25;
  EXPECT_FALSE(Draw("<A href=\"a\">x</A><BR>yyyyy"));
  EXPECT_EQ(results_.AnchorIndexAtMouse, -1);
}

TEST_F(DrawHtmlTest, AnchorOverTwoLinesGivesItsBoxOnTheLastLine) {
  args_.NoDraw = true;
  args_.MouseX = 15;
  args_.MouseY = 30;
  EXPECT_TRUE(Draw("xxxxx <A href=\"t\">aaaa bbb</A> z"));
  EXPECT_EQ(results_.AnchorAtMouse, "t");
  EXPECT_EQ(results_.AnchorBounds, (Rect{1, 20, 81, 40}));
}

TEST_F(DrawHtmlTest, SystemColourNames) {
  EXPECT_EQ(Draw("<FONT color=\"cl3DDkShadow\">a</FONT>"), false);
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("font=\"Arial\",10,80000015")));
  Draw("<FONT bgcolor=\"clInfoBk\" color=\"clNoSuchColour\">a</FONT>b");
  EXPECT_THAT(Texts(),
              ElementsAre(HasSubstr("\"a\" fmt=268 font=\"Arial\",10,00000000 bk=80000018"),
                          HasSubstr("\"b\" fmt=268 font=\"Arial\",10,00000000")));
}

TEST_F(DrawHtmlTest, PlainTextHasACarriageReturnPerBreakAndKeepsHiddenText) {
  Draw("a<B>b</B><BR>c\r\nd<Z>hidden</Z>e");
  EXPECT_EQ(results_.PlainText, "ab\rc\rdhiddene");
  EXPECT_THAT(Texts(),
              ElementsAre(HasSubstr("\"a\""), HasSubstr("\"b\""), HasSubstr("\"c\""),
                          HasSubstr("[1,40,100,60] \"d\""), HasSubstr("[11,40,100,60] \"e\"")));
}

TEST_F(DrawHtmlTest, LayoutStopsAtTheBottomUnlessMeasuring) {
  args_.Bounds = Rect{0, 0, 100, 30};
  Draw("a<BR>b<BR>c");
  EXPECT_EQ(results_.ExtentY, 20);
  EXPECT_EQ(Texts().size(), 1u);
  args_.MeasureOnly = true;
  Draw("a<BR>b<BR>c");
  EXPECT_EQ(results_.ExtentY, 60);
  EXPECT_TRUE(surface_.Calls().empty());
}

TEST_F(DrawHtmlTest, RestoresFontBrushAndBackgroundMode) {
  surface_.SetBrushColor(0x123456);
  surface_.SetBackgroundMode(BackgroundMode::kOpaque);
  const Font before = surface_.GetFont();
  Draw("<B><FONT size=\"30\" bgcolor=\"#FF0000\"><HI>x<P bgcolor=\"clred\">y<R a=\"90\">z");
  EXPECT_EQ(surface_.GetFont(), before);
  EXPECT_EQ(surface_.BrushColor(), 0x123456u);
  EXPECT_EQ(surface_.GetBrushStyle(), BrushStyle::kSolid);
  EXPECT_EQ(surface_.GetBackgroundMode(), BackgroundMode::kOpaque);
}

TEST_F(DrawHtmlTest, ListBulletsInTheSymbolFont) {
  Draw("<UL><LI>one<UL><LI>two</UL></UL><LI>x");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("[1,20,100,40] \"\xB7\" fmt=268 font=\"Symbol\""),
                                   HasSubstr("[13,20,100,40] \"one\" fmt=268 font=\"Arial\""),
                                   HasSubstr("[13,40,100,60] \"o\" fmt=268 font=\"Symbol\""),
                                   HasSubstr("[25,40,100,60] \"two\" fmt=268 font=\"Arial\""),
                                   HasSubstr("[-11,60,100,80] \"o\" fmt=268 font=\"Symbol\""),
                                   HasSubstr("[1,60,100,80] \"x\"")));
}

TEST_F(DrawHtmlTest, ErrorMarkZigZagUnderTheRun) {
  args_.Bounds = Rect{5, 0, 100, 200};
  Draw("<E>ab</E>");
  // The run starts at 6 (made even: 6, not a multiple of 4) and ends at 26.
  std::vector<std::string> lines;
  for (const std::string& call : surface_.Calls()) {
    if (!call.starts_with("text ")) lines.push_back(call);
  }
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "moveto 6,19");
  EXPECT_EQ(lines[1], "lineto 8,21 pen=000000ff/1");
  EXPECT_EQ(lines[2], "lineto 10,19 pen=000000ff/1");
  EXPECT_EQ(lines[10], "lineto 26,19 pen=000000ff/1");
}

TEST_F(DrawHtmlTest, GradientParagraphBackground) {
  args_.Bounds = Rect{0, 0, 128, 200};
  Draw("<P bgcolor=\"#000000\" bgcolorto=\"#FF0000\">x</P>");
  std::vector<std::string> fills;
  for (const std::string& call : surface_.Calls()) {
    if (call.starts_with("rectangle ")) fills.push_back(call);
  }
  ASSERT_EQ(fills.size(), 64u);
  EXPECT_EQ(fills[0], "rectangle [0,0,3,22] pen=00000000 brush=00000000");
  EXPECT_EQ(fills[1], "rectangle [2,0,5,22] pen=00000004 brush=00000004");
  EXPECT_EQ(fills[63], "rectangle [126,0,128,22] pen=000000fb brush=000000fb");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("\"x\" fmt=268 font=\"Arial\",10,00000000")));
}

TEST_F(DrawHtmlTest, ShadowRotationSubscriptAndFocus) {
  args_.ShadowOffset = 2;
  args_.ShadowColor = 0x808080;
  args_.FocusIndex = 0;
  Draw("<SH>s</SH><R a=\"90\">r</R>x<SUB>u</SUB><A href=\"f\">k</A>");
  EXPECT_THAT(
      surface_.Calls(),
      ElementsAre(HasSubstr("[3,2,102,22] \"s\" fmt=268 font=\"Arial\",10,00808080"),
                  HasSubstr("[1,0,100,20] \"s\" fmt=268 font=\"Arial\",10,00000000"),
                  HasSubstr("[11,0,100,20] \"r\" fmt=268 font=\"Arial\",10,00000000 esc=900/900"),
                  HasSubstr("[21,0,100,20] \"x\""), HasSubstr("[31,0,100,25] \"u\""),
                  HasSubstr("[41,0,100,20] \"k\" fmt=268 font=\"Arial\",10,00ff0000,U"),
                  "focus [40,0,52,20]"));
  EXPECT_EQ(results_.FocusedAnchor, "f");
  EXPECT_EQ(results_.ExtentY, 25);  // the subscript's drop is a quarter of its height
}

TEST_F(DrawHtmlTest, RotationEndingOnALaterLineEndsInBothPasses) {
  // "rotated" does not fit after the first word, so the rotation starts on
  // the first line and ends on the second.
  args_.Bounds = Rect{0, 0, 80, 200};
  Draw("first <R a=\"10\">rotated</R> plain");
  EXPECT_THAT(Texts(), ElementsAre(HasSubstr("\"first \""), HasSubstr("\"rotated\""),
                                   HasSubstr("\" \""), HasSubstr("\"plain\"")));
  EXPECT_THAT(Texts()[1], HasSubstr("esc=100/100"));
  EXPECT_THAT(Texts()[2], Not(HasSubstr("esc=")));
  EXPECT_THAT(Texts()[3], Not(HasSubstr("esc=")));
}

TEST_F(DrawHtmlTest, HostileMarkupLaysOutInBoundedTime) {
  args_.MeasureOnly = true;
  std::string huge;
  for (int i = 0; i < 20000; ++i)
    huge += "word<UL>&amp; ";
  huge += "<FONT size=\"99999999999999\">big<P indent=\"999999999999\">x<IN x=\"2147483647\">";
  huge += std::string(200000, 'y') + "<" + std::string(100000, '\r') + "<A";
  const auto start = std::chrono::steady_clock::now();
  Draw(huge);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);
  EXPECT_GT(results_.ExtentY, 0);
  EXPECT_GE(results_.ExtentX, 0);
}

}  // namespace
}  // namespace htmlabel

namespace htmlabel {
namespace {

// Targets and face names as long as the markup are not copied per line.
TEST(DrawHtmlScaleTest, LongTargetsAndFaceNamesOverManyLines) {
  TestSurface surface(/*record=*/false);
  std::string markup = "<A href=\"" + std::string(200000, 't') + "\"><FONT face=\"" +
                       std::string(200000, 'f') + "\">";
  for (int i = 0; i < 50000; ++i)
    markup += "x<BR>";
  DrawHtmlArgs args;
  args.Bounds = Rect{0, 0, 100, 1 << 28};
  args.FocusIndex = 0;
  DrawHtmlResults results;
  const auto start = std::chrono::steady_clock::now();
  DrawHTML(surface, markup, args, results);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);
  EXPECT_EQ(results.FocusedAnchor.size(), 200000u);
  EXPECT_EQ(results.ExtentY, 50000 * 16);  // 8-point glyphs are 16 high
}

}  // namespace
}  // namespace htmlabel
