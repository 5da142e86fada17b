#include "htmlabel/html_entities.h"

#include <gtest/gtest.h>

namespace htmlabel {
namespace {

TEST(HtmlEntitiesTest, LayoutEntitiesInAnyCaseWithAmpersandChains) {
  EXPECT_EQ(ReplaceLayoutEntities("a&amp;b&QUOT;&sect;&Permil;&reg;&copy;&para;&trade;&euro;"),
            "a&&b\"\xA7\x89\xAE\xA9\xB6\x99\x80");
  // "&amp;" leaves an ampersand that starts a further entity.
  EXPECT_EQ(ReplaceLayoutEntities("&amp;amp;"), "&&&");
  EXPECT_EQ(ReplaceLayoutEntities("&amp;quot;"), "&\"");  // "&&quot;" then "&\""
  // Run entities and unknown ones stay; a trailing ampersand stays.
  EXPECT_EQ(ReplaceLayoutEntities("&lt;&nbsp;&foo;&"), "&lt;&nbsp;&foo;&");
  EXPECT_EQ(ReplaceLayoutEntities("&amp"), "&amp");
}

TEST(HtmlEntitiesTest, RunEntities) {
  EXPECT_EQ(ReplaceRunEntities("&LT;b&gt;&NbSp;x&amp;"), "<b> x&amp;");
  EXPECT_EQ(ReplaceRunEntities("&&lt;"), "&<");
}

TEST(HtmlEntitiesTest, PrepareMarkupShowsTheFirstHashTagAndTurnsLineBreaksIntoTags) {
  EXPECT_EQ(PrepareMarkup("<#1> and <#2>\r\nx\ny"), "#1 and <#2><BR>xy");
  EXPECT_EQ(PrepareMarkup("<#open"), "#open");
}

}  // namespace
}  // namespace htmlabel
