// Window descriptions: what is written reads back to the same objects and
// values, the stored welcome window holds its layout, and damaged or hostile
// text is refused with the line of the fault.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "framework/window_description.h"

namespace fw {
namespace {

ObjectDescription SampleTree() {
  ObjectDescription root{"Form1", "TForm1", {}, {}, 0};
  root.properties = {
      {"Caption", PropertyValue::String("Quote \" back\\slash\nline \x01 \xE9"), 0},
      {"ClientWidth", PropertyValue::Integer(497), 0},
      {"Font.Height", PropertyValue::Integer(-11), 0},
      {"Low", PropertyValue::Integer(INT32_MIN), 0},
      {"BorderIcons", PropertyValue::Set({}), 0},
      {"Style", PropertyValue::Set({"fsBold", "fsItalic"}), 0},
      {"Color", PropertyValue::Identifier("clWhite"), 0},
      {"Picture.Data", PropertyValue::Binary({0xFF, 0xD8, 0x00, 0x7F}), 0},
      {"Empty", PropertyValue::Binary({}), 0},
  };
  ObjectDescription label{"Label1", "TLabel", {{"Left", PropertyValue::Integer(16), 0}}, {}, 0};
  ObjectDescription inner{"Inner", "TPanel", {}, {label}, 0};
  root.children = {label, inner};
  root.children[0].name = "Label0";
  return root;
}

TEST(WindowDescription, WrittenTreeReadsBackEqual) {
  const ObjectDescription tree = SampleTree();
  const std::string text = WriteWindowDescription(tree);
  const DescriptionReadResult read = ReadWindowDescription(text);
  ASSERT_TRUE(read.ok) << read.error << "\n" << text;
  EXPECT_EQ(read.root, tree);
  // And writing again gives the same text.
  EXPECT_EQ(WriteWindowDescription(read.root), text);
}

TEST(WindowDescription, ReadsEveryValueKindWithLines) {
  const DescriptionReadResult read = ReadWindowDescription(
      "# a comment\n"
      "object A: TA   # trailing comment\n"
      "  Hex = 0x80000000\n"
      "  Neg = -0x10\n"
      "  S = \"tab\\there \\x41\"\n"
      "  Set = [ a ,b ]\n"
      "  Data = { 0A 0b\n  FF }\n"
      "  object B: TB end\n"
      "end\n");
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.root.FindProperty("Hex")->value.integer, INT32_MIN);
  EXPECT_EQ(read.root.FindProperty("Neg")->value.integer, -16);
  EXPECT_EQ(read.root.FindProperty("S")->value.text, "tab\there A");
  EXPECT_EQ(read.root.FindProperty("Set")->value.set, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(read.root.FindProperty("Data")->value.binary,
            (std::vector<std::uint8_t>{0x0A, 0x0B, 0xFF}));
  EXPECT_EQ(read.root.FindProperty("Data")->line, 7);
  ASSERT_NE(read.root.FindChild("B"), nullptr);
  EXPECT_EQ(read.root.FindChild("B")->line, 9);
}

TEST(WindowDescription, RefusesDamagedTextNamingTheLine) {
  struct Case {
    const char* text;
    const char* error_start;
  };
  const Case cases[] = {
      {"", "line 1: \"object\" was expected"},
      {"object A: TA\n", "line 2: \"end\" of object A is missing"},
      {"object A TA end", "line 1: ':' was expected"},
      {"object A: TA\n X 5\nend", "line 2: '=' was expected after X"},
      {"object A: TA\n X = 2147483648\nend", "line 2: the number is out of range"},
      {"object A: TA X = -2147483649 end", "line 1: the number is out of range"},
      {"object A: TA X = 0x100000000 end", "line 1: the number is out of range"},
      {"object A: TA X = 12ab end", "line 1: the number runs into a name"},
      {"object A: TA X = - end", "line 1: digits were expected"},
      {"object A: TA X = \"open\nend", "line 1: a line break in a string"},
      {"object A: TA X = \"open", "line 1: the string has no closing quote"},
      {"object A: TA X = \"\\q\" end", "line 1: unknown escape"},
      {"object A: TA X = \"\\x4\" end", "line 1: \\x needs two"},
      {"object A: TA X = { ABC } end", "line 1: binary data has an odd number"},
      {"object A: TA X = { AG } end", "line 1: a hexadecimal digit was expected"},
      {"object A: TA X = [a b] end", "line 1: ',' or ']' was expected"},
      {"object A: TA X = [a, ] end", "line 1: a name was expected"},
      {"object A: TA X.= 1 end", "line 1: a name was expected after '.'"},
      {"object A: TA end\nobject B: TB end", "line 2: text after the end"},
      {"object A: TA X = @ end", "line 1: a value was expected"},
  };
  for (const Case& c : cases) {
    const DescriptionReadResult read = ReadWindowDescription(c.text);
    EXPECT_FALSE(read.ok) << c.text;
    EXPECT_EQ(read.error.rfind(c.error_start, 0), 0u) << c.text << " gave " << read.error;
    EXPECT_EQ(read.root, ObjectDescription{}) << c.text;
  }
}

TEST(WindowDescription, LimitsBoundDepthCountAndSize) {
  std::string deep;
  for (int i = 0; i < 17; ++i)
    deep += "object A: TA ";
  for (int i = 0; i < 17; ++i)
    deep += "end ";
  EXPECT_NE(ReadWindowDescription(deep).error.find("nested too deeply"), std::string::npos);
  // Much deeper nesting than the limit costs no stack either.
  std::string deeper;
  for (int i = 0; i < 100000; ++i)
    deeper += "object A: TA ";
  EXPECT_FALSE(ReadWindowDescription(deeper).ok);

  DescriptionLimits limits;
  limits.max_objects = 3;
  EXPECT_TRUE(
      ReadWindowDescription("object A: TA object B: TB end object C: TC end end", limits).ok);
  EXPECT_NE(ReadWindowDescription("object A: TA object B: TB end object C: TC end object D: TD "
                                  "end end",
                                  limits)
                .error.find("too many objects"),
            std::string::npos);
  limits.max_text_bytes = 10;
  EXPECT_FALSE(ReadWindowDescription("object A: TA end", limits).ok);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The stored welcome window, read from the resources folder, holds the
// layout the installer shows.
TEST(WindowDescription, WelcomeWindowHoldsItsLayout) {
  const std::string text = ReadFile(FRAMEWORK_TEST_RESOURCES "/welcome_window.txt");
  ASSERT_FALSE(text.empty());
  const DescriptionReadResult read = ReadWindowDescription(text);
  ASSERT_TRUE(read.ok) << read.error;
  const ObjectDescription& form = read.root;
  EXPECT_EQ(form.name, "Form1");
  EXPECT_EQ(form.class_name, "TForm1");
  auto value = [](const ObjectDescription& object, const char* name) {
    const PropertyDescription* property = object.FindProperty(name);
    return property ? property->value : PropertyValue::Identifier("<missing>");
  };
  EXPECT_EQ(value(form, "Caption"), PropertyValue::String("Tomewright Installation"));
  EXPECT_EQ(value(form, "ClientWidth"), PropertyValue::Integer(497));
  EXPECT_EQ(value(form, "ClientHeight"), PropertyValue::Integer(328));
  EXPECT_EQ(value(form, "BorderIcons"), PropertyValue::Set({}));
  EXPECT_EQ(value(form, "BorderStyle"), PropertyValue::Identifier("bsSingle"));
  EXPECT_EQ(value(form, "Position"), PropertyValue::Identifier("poScreenCenter"));
  EXPECT_EQ(value(form, "Color"), PropertyValue::Identifier("clWhite"));
  EXPECT_EQ(value(form, "Font.Height"), PropertyValue::Integer(-11));
  EXPECT_EQ(value(form, "Scaled"), PropertyValue::Identifier("false"));

  struct Expected {
    const char* name;
    const char* class_name;
    int left, top, width, height, font_height;
  };
  const Expected controls[] = {
      {"HTMLabel1", "THTMLabel", 16, 296, 145, 17, -11},
      {"Label1", "TLabel", 16, 16, 292, 33, -29},
      {"Image1", "TImage", 336, 32, 145, 225, 0},
      {"Label2", "TLabel", 16, 48, 290, 16, -13},
      {"Label3", "TLabel", 16, 72, 297, 81, -16},
      {"Label4", "TLabel", 16, 160, 297, 65, -16},
      {"Label5", "TLabel", 16, 232, 281, 41, -16},
      {"Button1", "TButton", 296, 288, 89, 25, -11},
      {"Button2", "TButton", 400, 288, 83, 25, -11},
  };
  ASSERT_EQ(form.children.size(), std::size(controls));
  for (std::size_t i = 0; i < std::size(controls); ++i) {
    const Expected& e = controls[i];
    const ObjectDescription& child = form.children[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(child.name, e.name);
    EXPECT_EQ(child.class_name, e.class_name);
    EXPECT_EQ(value(child, "Left"), PropertyValue::Integer(e.left));
    EXPECT_EQ(value(child, "Top"), PropertyValue::Integer(e.top));
    EXPECT_EQ(value(child, "Width"), PropertyValue::Integer(e.width));
    EXPECT_EQ(value(child, "Height"), PropertyValue::Integer(e.height));
    if (e.font_height) {
      EXPECT_EQ(value(child, "Font.Height"), PropertyValue::Integer(e.font_height));
      EXPECT_EQ(value(child, "Font.Name"), PropertyValue::String("Arial"));
      EXPECT_EQ(value(child, "ParentFont"), PropertyValue::Identifier("false"));
    }
  }
  // The link: one anchor to the maker's host, its visible text around the host name.
  EXPECT_EQ(value(form.children[0], "HTMLText"),
            PropertyValue::String("<A href=\"http://www.velmo.com\">Visit www.velmo.com now</A>"));
  EXPECT_EQ(value(form.children[0], "URLColor"), PropertyValue::Identifier("clBlue"));
  EXPECT_EQ(value(form.children[0], "Font.Color"), PropertyValue::Identifier("clNavy"));
  const ObjectDescription& button1 = form.children[7];
  EXPECT_EQ(value(button1, "Default"), PropertyValue::Identifier("true"));
  EXPECT_EQ(value(button1, "TabOrder"), PropertyValue::Integer(0));
  EXPECT_EQ(value(form.children[8], "TabOrder"), PropertyValue::Integer(1));
  EXPECT_EQ(button1.FindProperty("Cancel"), nullptr);
  EXPECT_EQ(form.children[8].FindProperty("Cancel"), nullptr);
  EXPECT_EQ(value(form.children[4], "Caption").text.back(), ' ');
  EXPECT_EQ(value(form.children[4], "WordWrap"), PropertyValue::Identifier("true"));
  EXPECT_EQ(value(form.children[4], "AutoSize"), PropertyValue::Identifier("false"));
  // The text written from it reads back to the same tree.
  EXPECT_EQ(ReadWindowDescription(WriteWindowDescription(form)).root, form);
}

}  // namespace
}  // namespace fw
