#include "trace/text/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace trace {
namespace {

using namespace std::string_literals;

TEST(AnsiTextTest, FoldCaseMapsExactlyTheWindows1252CapitalLetters) {
  EXPECT_EQ(FoldCase('A'), 'a');
  EXPECT_EQ(FoldCase('Z'), 'z');
  EXPECT_EQ(FoldCase('@'), '@');
  EXPECT_EQ(FoldCase('['), '[');
  EXPECT_EQ(FoldCase(0xC0), 0xE0);  // À
  EXPECT_EQ(FoldCase(0xDE), 0xFE);  // Þ
  EXPECT_EQ(FoldCase(0xD7), 0xD7);  // ×, not a letter
  EXPECT_EQ(FoldCase(0xDF), 0xDF);  // ß has no capital here
  EXPECT_EQ(FoldCase(0x8A), 0x9A);
  EXPECT_EQ(FoldCase(0x8C), 0x9C);
  EXPECT_EQ(FoldCase(0x8E), 0x9E);
  EXPECT_EQ(FoldCase(0x9F), 0xFF);
  int changed = 0;
  for (int c = 0; c < 256; ++c)
    changed += FoldCase(static_cast<unsigned char>(c)) != c;
  EXPECT_EQ(changed, 26 + 30 + 4);
}

TEST(AnsiTextTest, UpperCaseOnlyCoversAsciiLettersAndThreeUmlauts) {
  EXPECT_EQ(UpperCaseText("az\xE4\xF6\xFC"), "AZ\xC4\xD6\xDC");
  EXPECT_EQ(UpperCaseText("AZ{`\xE9\xFF 1"), "AZ{`\xE9\xFF 1");  // é and ÿ stay
  EXPECT_EQ(UpperCaseChar('q'), 'Q');
}

TEST(AnsiTextTest, FindTextForwardsReportsMatchesStartingUpToTo) {
  EXPECT_EQ(FindText("bc", "abcabc", 1, 6, false), 2);
  EXPECT_EQ(FindText("bc", "abcabc", 3, 6, false), 5);
  EXPECT_EQ(FindText("bc", "abcabc", 1, 2, false), 2);  // may end beyond to
  EXPECT_EQ(FindText("bc", "abcabc", 1, 1, false), 0);
  EXPECT_EQ(FindText("bc", "abcabc", -7, 100, false), 2);
  EXPECT_EQ(FindText("BC", "abcabc", 1, 6, false), 0);
  EXPECT_EQ(FindText("BC", "abcabc", 1, 6, true), 2);
  EXPECT_EQ(FindText("\xC4X", "x\xE4x", 1, 3, true), 2);
}

TEST(AnsiTextTest, FindTextBackwardsReportsTheLastMatch) {
  EXPECT_EQ(FindText("bc", "abcabc", 6, 1, false), 5);
  EXPECT_EQ(FindText("bc", "abcabc", 100, 1, false), 5);
  EXPECT_EQ(FindText("bc", "abcabc", 4, 1, false), 2);
  EXPECT_EQ(FindText("bc", "abcabc", 4, 3, false), 0);
  EXPECT_EQ(FindText("bc", "abcabc", 100, -3, false), 5);
}

TEST(AnsiTextTest, FindTextWithoutPossibleMatchGivesZero) {
  EXPECT_EQ(FindText("", "abc", 1, 3, false), 0);
  EXPECT_EQ(FindText("a", "", 1, 3, false), 0);
  EXPECT_EQ(FindText("abcd", "abc", 1, 3, false), 0);
  EXPECT_EQ(FindText("abcd", "abc", 3, 1, false), 0);
}

TEST(AnsiTextTest, FindCharOfClampsBothEndsToTheText) {
  CharSet slashes;
  slashes.set('/');
  slashes.set('\\');
  EXPECT_EQ(FindCharOf(slashes, "a/b\\c", 1, 100), 2);
  EXPECT_EQ(FindCharOf(slashes, "a/b\\c", 3, 5), 4);
  EXPECT_EQ(FindCharOf(slashes, "a/b\\c", 100, 1), 4);  // starts at the last byte
  EXPECT_EQ(FindCharOf(slashes, "a/b\\/", 100, 1), 5);
  EXPECT_EQ(FindCharOf(slashes, "a/b\\c", 3, -2), 2);
  EXPECT_EQ(FindCharOf(slashes, "abc", 1, 3), 0);
  EXPECT_EQ(FindCharOf(slashes, "", 5, 1), 0);
  CharSet high;
  high.set(0xFF);
  EXPECT_EQ(FindCharOf(high, "ab\xFF", 1, 3), 3);
}

TEST(AnsiTextTest, CaseInsensitiveComparisons) {
  EXPECT_TRUE(StartsWithText("", ""));
  EXPECT_TRUE(StartsWithText("", "abc"));
  EXPECT_TRUE(StartsWithText("aB", "Abc"));
  EXPECT_FALSE(StartsWithText("abcd", "abc"));
  EXPECT_FALSE(StartsWithText("b", "abc"));
  EXPECT_TRUE(TextEquals("\xC4\x8A x", "\xE4\x9A X"));
  EXPECT_FALSE(TextEquals("a", "ab"));
  EXPECT_FALSE(TextEquals("\xD7", "\xF7"));  // × and ÷ are different signs
  EXPECT_TRUE(TextEquals("", ""));
}

// Applies ReplaceAll to a copy of text and returns the result.
std::string Replaced(std::string text, std::string_view pattern, std::string_view replacement,
                     bool ignore_case, bool rescan, bool expect_found = true) {
  EXPECT_EQ(ReplaceAll(text, pattern, replacement, ignore_case, rescan), expect_found);
  return text;
}

TEST(AnsiTextTest, ReplaceAllWithoutRescan) {
  EXPECT_EQ(Replaced("a.b.c.", ".", "::", false, false), "a::b::c::");
  EXPECT_EQ(Replaced("Foo foo FOO", "foo", "x", false, false), "Foo x FOO");
  EXPECT_EQ(Replaced("Foo foo FOO", "foo", "x", true, false), "x x x");
  EXPECT_EQ(Replaced("abc", "x", "y", false, false, false), "abc");
  EXPECT_EQ(Replaced("abc", "", "y", false, false, false), "abc");
  EXPECT_EQ(Replaced("", "a", "y", false, false, false), "");
  EXPECT_EQ(Replaced("aa", "a", "ba", false, false), "baba");
  EXPECT_EQ(Replaced("xabab", "xab", "zx", false, false), "zxab");
  EXPECT_EQ(Replaced("a--b", "-", "", false, false), "ab");
}

TEST(AnsiTextTest, ReplaceAllWithoutRescanSkipsOverlappingPeriodLines) {
  // The second line shares its leading line break with the first match.
  EXPECT_EQ(Replaced("x\r\n.\r\n.\r\ny", "\r\n.\r\n", "\r\n..\r\n", false, false),
            "x\r\n..\r\n.\r\ny");
}

TEST(AnsiTextTest, ReplaceAllWithRescanMatchesInsideReplacements) {
  EXPECT_EQ(Replaced("xabab", "xab", "zx", false, true), "zzx");
  EXPECT_EQ(Replaced("XABAB", "xab", "zx", true, true), "zzx");
  EXPECT_EQ(Replaced("aaaa", "aa", "a", false, true), "aa");
  EXPECT_EQ(Replaced("abc", "x", "y", false, true, false), "abc");
}

TEST(AnsiTextTest, ReplaceAllWithRescanEndsWhenTheReplacementKeepsThePattern) {
  EXPECT_EQ(Replaced("aa", "a", "ba", false, true), "baba");
  EXPECT_EQ(Replaced("a", "a", "aa", false, true), "aa");
  EXPECT_EQ(Replaced("A.a", "a", "aA", true, true), "aA.aA");
}

TEST(AnsiTextTest, ReplaceAllWithRescanAndEmptyReplacementMissesNoByte) {
  EXPECT_EQ(Replaced("aaa", "a", "", false, true), "");
  EXPECT_EQ(Replaced("a--b-", "-", "", false, true), "ab");
}

TEST(AnsiTextTest, ReplaceAllAcceptsPatternsThatViewIntoTheText) {
  for (bool rescan : {false, true}) {
    std::string text = "abab";
    const std::string_view view(text);
    EXPECT_TRUE(ReplaceAll(text, view.substr(0, 2), view.substr(1, 1), false, rescan));
    EXPECT_EQ(text, "bb");
  }
}

TEST(AnsiTextTest, PadTextKeepsTheMinusSignInFrontOfDigitPadding) {
  std::string text = "-5";
  EXPECT_EQ(PadText(text, 2, true, '0'), "-005");
  text = "-5";
  EXPECT_EQ(PadText(text, 2, true, ' '), "  -5");
  text = "-5";
  EXPECT_EQ(PadText(text, 2, false, '0'), "-500");
  text = "x-";
  EXPECT_EQ(PadText(text, 1, true, '0'), "0x-");
  text = "ab";
  EXPECT_EQ(PadText(text, 0, true, '*'), "ab");
  EXPECT_EQ(PadText(text, -4, false, '*'), "ab");
  std::string empty;
  EXPECT_EQ(PadText(empty, 3, true, '0'), "000");
}

TEST(AnsiTextTest, AnsiToWideWidensEveryByteLittleEndian) {
  EXPECT_EQ(AnsiToWide("A\xE9", false), "A\0\xE9\0"s);
  EXPECT_EQ(AnsiToWide("A\xE9", true), "A\0\xE9\0\0\0"s);
  EXPECT_EQ(AnsiToWide("", true), "\0\0"s);
  EXPECT_EQ(AnsiToWide("", false), "");
}

}  // namespace
}  // namespace trace
