// Whole recorded drawings of representative markup, compared with reviewed
// files in golden/. After a reviewed change of the layout, rewrite them with
//   HTMLABEL_UPDATE_GOLDEN=1 build/<tree>/bin/htmlabel_tests --gtest_filter='DrawHtmlGolden*'
// and review the difference before committing it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "htmlabel/draw_html.h"
#include "tests/htmlabel/test_surface.h"

#ifndef HTMLABEL_GOLDEN_DIR
#error "HTMLABEL_GOLDEN_DIR must name the folder of the golden files"
#endif

namespace htmlabel {
namespace {

struct GoldenCase {
  const char* name;
  const char* markup;
  bool wrap_words;
  bool hover_only;
  int hover_index;
};

const GoldenCase kCases[] = {
    {"welcome_link",
     "Visit <A href=\"http://www.example.com/\">www.example.com</A> for news &amp; updates.", true,
     false, -1},
    {"every_tag",
     "<BODY bgcolor=\"#FFFFE0\"><P align=\"center\" bgcolor=\"clInfoBk\"><B>Bold</B> <I>it</I> "
     "<U>u</U> <S>s</S></P><FONT face=\"Courier\" size=\"4\" color=\"#800000\">font</FONT> "
     "<HI>high</HI> <SH>shadow</SH> x<SUP>2</SUP> y<SUB>i</SUB> <E>eror</E><HR>"
     "<UL><LI>one<UL><LI>two</LI></UL></UL><BL>blink</BL> <Z>hidden</Z>"
     "<P align=\"right\" bgcolor=\"#0000FF\" bgcolorto=\"#00FF00\">grad</P>"
     "<IN x=\"40\">in<R a=\"45\">rot</R> <A href=\"a\">one</A> <A href=\"b\">two</A>"
     "<IMG src=\"IDX:0\">&lt;tag&gt;&nbsp;&copy;",
     true, true, 2},
    {"ellipsis", "A long line that cannot fit <B>in</B> the width<BR>second", false, false, -1},
};

std::string Render(const GoldenCase& golden) {
  TestSurface surface;
  Font font;
  font.name = "Tahoma";
  font.size = 8;
  surface.SetFont(font);
  DrawHtmlArgs args;
  args.Bounds = Rect{2, 3, 202, 403};
  args.WrapWords = golden.wrap_words;
  args.HoverOnly = golden.hover_only;
  args.HoverIndex = golden.hover_index;
  args.HoverColor = 0x00FFFF;
  args.FocusIndex = 0;
  DrawHtmlResults results;
  DrawHTML(surface, golden.markup, args, results);
  std::ostringstream out;
  out << "markup: " << golden.markup << "\n";
  out << surface.Log();
  out << "extent: " << results.ExtentX << " x " << results.ExtentY << "\n";
  out << "anchors: " << results.AnchorCount << " focused: " << results.FocusedAnchor << "\n";
  std::string plain = results.PlainText;
  for (char& c : plain) {
    if (c == '\r') c = '|';
  }
  out << "plain: " << plain << "\n";
  return out.str();
}

class DrawHtmlGoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(DrawHtmlGoldenTest, MatchesReviewedDrawing) {
  const GoldenCase& golden = GetParam();
  const std::string path = std::string(HTMLABEL_GOLDEN_DIR) + "/" + golden.name + ".txt";
  const std::string actual = Render(golden);
  if (std::getenv("HTMLABEL_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    GTEST_SKIP() << "rewrote " << path;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << "cannot read " << path;
  std::stringstream expected;
  expected << file.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "golden file " << path;
}

INSTANTIATE_TEST_SUITE_P(Markup, DrawHtmlGoldenTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace htmlabel
