#include "htmlabel/label_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/htmlabel/test_surface.h"

namespace htmlabel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Glyphs of the 10-point font are 10 pixels wide and 20 high.
class LabelLayoutTest : public ::testing::Test {
 protected:
  LabelLayoutTest() {
    Font font;
    font.name = "Arial";
    font.size = 10;
    surface_.SetFont(font);
  }

  LabelPaintResult Paint(std::string_view markup, int width, int height, int hover_index = -1) {
    surface_.ClearCalls();
    return PaintLabel(surface_, look_, markup, width, height, Point{-1, -1}, hover_index);
  }

  std::vector<std::string> Calls(std::string_view prefix) const {
    std::vector<std::string> calls;
    for (const std::string& call : surface_.Calls()) {
      if (call.starts_with(prefix)) calls.push_back(call);
    }
    return calls;
  }

  TestSurface surface_;
  LabelLook look_;
};

TEST_F(LabelLayoutTest, BackgroundAndBevelsInTheButtonColours) {
  look_.bevel_outer = TBevelCut::bvRaised;
  Paint("", 50, 30);
  EXPECT_EQ(surface_.Calls().front(), "fill [0,0,50,30] brush=00ffffff");
  // Top and left in the highlight colour (index 20), bottom and right in the
  // shadow colour (index 16), inside the control.
  EXPECT_THAT(Calls("lineto"),
              ElementsAre("lineto 0,0 pen=80000014/1", "lineto 49,0 pen=80000014/1",
                          "lineto 49,29 pen=80000010/1", "lineto -1,29 pen=80000010/1"));

  look_.bevel_outer = TBevelCut::bvLowered;
  look_.transparent = true;
  Paint("", 50, 30);
  EXPECT_THAT(Calls("fill"), ElementsAre());
  EXPECT_THAT(Calls("lineto").front(), HasSubstr("pen=80000010"));
  EXPECT_THAT(Calls("lineto").back(), HasSubstr("pen=80000014"));
}

TEST_F(LabelLayoutTest, FramesShrinkTheTextAndTheHitTestFollowsThePaintedText) {
  look_.bevel_outer = TBevelCut::bvRaised;
  look_.bevel_inner = TBevelCut::bvLowered;
  look_.bevel_width = 2;
  look_.border_width = 3;
  look_.border_style = TLabelBorderStyle::bsSingle;
  // Outer bevel, border frame, inner bevel, then once more bevel and border.
  EXPECT_EQ(TextRect(look_, 200, 100), (Rect{12, 12, 188, 88}));

  Paint("<a href=\"http://h\">link</a>", 200, 100);
  EXPECT_THAT(Calls("rectangle"), ElementsAre("rectangle [7,7,193,93] pen=00000000 brush=clear"));
  const std::vector<std::string> texts = Calls("text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_THAT(texts[0], HasSubstr("text [13,12,188,32] \"link\""));

  // The point on the drawn text hits the anchor; one left of it does not.
  const AnchorHit hit =
      AnchorAt(surface_, look_, "<a href=\"http://h\">link</a>", 200, 100, 14, 20);
  EXPECT_EQ(hit.target, "http://h");
  EXPECT_EQ(hit.index, 1);
  EXPECT_EQ(hit.box, (Rect{13, 12, 53, 32}));
  EXPECT_EQ(AnchorAt(surface_, look_, "<a href=\"http://h\">link</a>", 200, 100, 54, 20).index, -1);
}

TEST_F(LabelLayoutTest, VerticalAlignment) {
  look_.valignment = TVAlignment::tvaCenter;
  Paint("x", 100, 100);
  EXPECT_THAT(Calls("text"), ElementsAre(HasSubstr("[1,40,100,60]")));
  EXPECT_EQ(AnchorAt(surface_, look_, "<a href=\"t\">x</a>", 100, 100, 3, 50).target, "t");
  EXPECT_EQ(AnchorAt(surface_, look_, "<a href=\"t\">x</a>", 100, 100, 3, 10).target, "");

  look_.valignment = TVAlignment::tvaBottom;
  Paint("x", 100, 100);
  EXPECT_THAT(Calls("text"), ElementsAre(HasSubstr("[1,80,100,100]")));

  // Text taller than the framed rectangle but not than the control: centred
  // over the rectangle, overflowing both edges, never moved out of sight.
  look_.valignment = TVAlignment::tvaCenter;
  look_.border_style = TLabelBorderStyle::bsSingle;
  look_.border_width = 5;
  Paint("x", 100, 30);
  EXPECT_THAT(Calls("text"), ElementsAre(HasSubstr("[11,5,90,25]")));
}

TEST_F(LabelLayoutTest, AutoSizingTakesTheTextSizePlusSix) {
  look_.auto_sizing = true;
  // Three lines of 20 pixels in a 60-pixel-wide label.
  LabelPaintResult result = Paint("aaaa bbbb cccc", 60, 10);
  EXPECT_EQ(result.new_width, 60);
  EXPECT_EQ(result.new_height, 66);
  EXPECT_EQ(Calls("text").size(), 3u);

  look_.auto_size_type = TAutoSizeType::asHorizontal;
  result = Paint("aaaa bbbb cccc", 60, 10);
  EXPECT_EQ(result.new_width, 146);
  EXPECT_EQ(result.new_height, 10);

  look_.auto_size_type = TAutoSizeType::asBoth;
  look_.align = TAlign::alTop;  // only the height follows the text
  result = Paint("aaaa", 60, 10);
  EXPECT_EQ(result.new_width, 60);
  EXPECT_EQ(result.new_height, 26);

  look_.auto_sizing = false;
  result = Paint("aaaa bbbb cccc", 60, 10);
  EXPECT_EQ(result.new_height, 10);
}

TEST_F(LabelLayoutTest, HoverStylesOnlyTheHoveredAnchor) {
  const char* markup = "<a href=\"1\">one</a> <a href=\"2\">two</a>";
  look_.hover = true;
  look_.hover_color = 0x00FFFF;
  Paint(markup, 200, 40, 2);
  EXPECT_THAT(Calls("text"), ElementsAre(HasSubstr("\"one\" fmt=268 font=\"Arial\",10,00ff0000"),
                                         HasSubstr("\" \""),
                                         HasSubstr("\"two\" fmt=268 font=\"Arial\",10,00ff0000,U "
                                                   "bk=0000ffff")));
  // Without hover every anchor is underlined in the URL colour.
  look_.hover = false;
  look_.url_color = 0x0000FF;
  Paint(markup, 200, 40, -1);
  EXPECT_THAT(Calls("text"),
              ElementsAre(HasSubstr("000000ff,U"), HasSubstr("\" \""), HasSubstr("000000ff,U")));
}

TEST_F(LabelLayoutTest, EllipsisKeepsOneLine) {
  look_.ellipsis = true;
  Paint("aaaa bbbb cccc", 60, 60);
  EXPECT_THAT(Calls("text"), ElementsAre(HasSubstr("\"aa...\" fmt=8268")));
}

}  // namespace
}  // namespace htmlabel
