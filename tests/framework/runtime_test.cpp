// The runtime's exception classes and string list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/string_list.h"

namespace fw {
namespace {

TEST(ExceptionClasses, KnowTheirNameAndAncestors) {
  const EDivByZero division("Division by zero", 0xC0000094, 0x401000);
  EXPECT_EQ(division.ClassName(), "EDivByZero");
  EXPECT_EQ(division.ClassNames(),
            (std::vector<std::string>{"EDivByZero", "EIntError", "EExternal", "Exception"}));
  EXPECT_TRUE(division.InheritsFrom("EExternal"));
  EXPECT_FALSE(division.InheritsFrom("EAccessViolation"));
  EXPECT_EQ(division.Code(), 0xC0000094u);
  EXPECT_EQ(division.Address(), 0x401000u);

  // Caught through a base reference, the object still names its own class.
  try {
    throw EAccessViolation("Access violation");
  } catch (const Exception& e) {
    EXPECT_EQ(e.ClassName(), "EAccessViolation");
    EXPECT_TRUE(e.InheritsFrom("EExternal"));
    EXPECT_STREQ(e.what(), "Access violation");
  }
  EXPECT_EQ(EAbort("").ClassNames(), (std::vector<std::string>{"EAbort", "Exception"}));
  EXPECT_EQ(EExternalException("x").ClassNames().size(), 3u);
  EXPECT_EQ(Exception("x").ClassNames(), (std::vector<std::string>{"Exception"}));
  EXPECT_EQ(HexAddress(0x0040ABCD), "0040ABCD");
}

class StringListEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    list.OnChanging = [this](TObject* sender) {
      EXPECT_EQ(sender, &list);
      events.push_back("changing " + std::to_string(list.Count()));
    };
    list.OnChange = [this](TObject* sender) {
      EXPECT_EQ(sender, &list);
      events.push_back("change " + std::to_string(list.Count()));
    };
  }
  TStringList list;
  std::vector<std::string> events;
};

TEST_F(StringListEvents, EveryChangeIsAnnouncedBeforeAndAfter) {
  list.Add("a");
  list.Insert(0, "b");
  list.Put(1, "c");
  list.Delete(0);
  list.Clear();
  list.Clear();  // already empty: no change, no events
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0", "change 1", "changing 1", "change 2",
                                              "changing 2", "change 2", "changing 2", "change 1",
                                              "changing 1", "change 0"}));
}

TEST_F(StringListEvents, BatchAnnouncesOnceAndBadIndexChangesNothing) {
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("a");
  list.Add("b");
  list.EndUpdate();
  EXPECT_TRUE(events.empty() || events == std::vector<std::string>{"changing 0"});
  list.EndUpdate();
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0", "change 2"}));
  list.EndUpdate();  // unbalanced: ignored

  events.clear();
  EXPECT_THROW(list.Get(2), EListError);
  EXPECT_THROW(list.Delete(2), EListError);
  EXPECT_THROW(list.Insert(3, "x"), EListError);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(list.Count(), 2u);
}

TEST_F(StringListEvents, TextSplitsEveryLineEnding) {
  list.SetText("one\r\ntwo\nthree\rfour\r\n\r\nsix");
  ASSERT_EQ(list.Count(), 6u);
  EXPECT_EQ(list.Get(3), "four");
  EXPECT_EQ(list.Get(4), "");
  EXPECT_EQ(list.IndexOf("six"), 5);
  EXPECT_EQ(list.IndexOf("seven"), -1);
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n\r\nsix\r\n");
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0", "change 6"}));
}

}  // namespace
}  // namespace fw
