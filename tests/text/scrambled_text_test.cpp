#include "trace/text/scrambled_text.h"

#include <gtest/gtest.h>

#include <string>

namespace trace {
namespace {

using namespace std::string_literals;

constexpr auto kModuleName = Scramble("ntdll.dll");

TEST(ScrambledTextTest, RevealGivesThePlainText) {
  EXPECT_EQ(kModuleName.Reveal(), "ntdll.dll");
  EXPECT_EQ(Scramble("").Reveal(), "");
  EXPECT_EQ(Scramble("a\0\xA5z").Reveal(), "a\0\xA5z"s);  // bytes equal to 0 or to the key
  static_assert(Scramble("abc").size() == 3);
}

TEST(ScrambledTextTest, StoredBytesShowNoneOfThePlainText) {
  const std::string_view stored = kModuleName.scrambled();
  ASSERT_EQ(stored.size(), 9u);
  for (std::size_t i = 0; i < stored.size(); ++i) {
    EXPECT_NE(stored[i], "ntdll.dll"[i]);
    const auto byte = static_cast<unsigned char>(stored[i]);
    EXPECT_FALSE(byte >= 0x20 && byte < 0x7F) << "printable byte at " << i;
  }
}

}  // namespace
}  // namespace trace
