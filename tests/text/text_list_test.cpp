#include "trace/text/text_list.h"

#include <gtest/gtest.h>

#include <string>

namespace trace {
namespace {

TEST(TextListTest, ItemCountIsSeparatorsPlusOne) {
  EXPECT_EQ(ListItemCount(""), 0);
  EXPECT_EQ(ListItemCount("a"), 1);
  EXPECT_EQ(ListItemCount("a,b"), 2);
  EXPECT_EQ(ListItemCount(",,"), 3);
  EXPECT_EQ(ListItemCount("a;b,c", ';'), 2);
}

TEST(TextListTest, ItemKeepsEmptyItemsAndRunsTheLastToTheEnd) {
  const std::string list = "a,b,,c d";
  EXPECT_EQ(ListItem(list, 1), "a");
  EXPECT_EQ(ListItem(list, 2), "b");
  EXPECT_EQ(ListItem(list, 3), "");
  EXPECT_EQ(ListItem(list, 4), "c d");
  EXPECT_EQ(ListItem(list, 5), "");
  EXPECT_EQ(ListItem(list, 0), "");
  EXPECT_EQ(ListItem(list, -1), "");
  EXPECT_EQ(ListItem("x;y", 2, ';'), "y");
  EXPECT_EQ(ListItem(",", 2), "");
}

TEST(TextListTest, ContainsMatchesWholeItemsIgnoringCase) {
  const std::string list = "kernel32.dll,NTDLL.DLL,user32";
  EXPECT_TRUE(ListContains(list, "ntdll.dll"));
  EXPECT_TRUE(ListContains(list, "KERNEL32.dll"));
  EXPECT_TRUE(ListContains(list, "user32"));
  EXPECT_FALSE(ListContains(list, "ntdll"));
  EXPECT_FALSE(ListContains(list, "user"));
  EXPECT_FALSE(ListContains(list, "32"));
  EXPECT_FALSE(ListContains(list, ""));
  EXPECT_FALSE(ListContains("", "a"));
  // The first occurrence is part of a longer item; a later one is whole.
  EXPECT_TRUE(ListContains("ab,a", "a"));
  EXPECT_TRUE(ListContains("ab;a", "A", ';'));
  EXPECT_FALSE(ListContains("ab;a", "A"));
}

// Returns NormalizeList applied to a copy of list.
std::string Normalized(std::string list, char separator = ',') {
  NormalizeList(list, separator);
  return list;
}

TEST(TextListTest, NormalizeTrimsEndsAndBlanksAroundSeparators) {
  EXPECT_EQ(Normalized(" ,a , b ,\t, c d, \r\n"), "a,b,,c d");
  EXPECT_EQ(Normalized(", , ,"), "");
  EXPECT_EQ(Normalized(""), "");
  EXPECT_EQ(Normalized("\x01"
                       "a\x20,\x21"
                       "b"),
            "a,\x21"
            "b");
  EXPECT_EQ(Normalized("a , ,b"), "a,,b");
}

TEST(TextListTest, NormalizeWithABlankSeparatorKeepsEmptyItems) {
  EXPECT_EQ(Normalized("  a \t b  ", ' '), "a  b");
  EXPECT_EQ(Normalized("\ta\t \tb\t", '\t'), "a\t\tb");
}

}  // namespace
}  // namespace trace
