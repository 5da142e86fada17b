#include "trace/text/system_text.h"

#include <gtest/gtest.h>

#include <string>

namespace trace {
namespace {

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

TEST(SystemTextTest, ErrorTextGivesTheSystemMessageOnOneLine) {
  const std::string text = ErrorText(2);  // ERROR_FILE_NOT_FOUND
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(HasLineBreak(text)) << text;
  EXPECT_EQ(text.find("Unknown error"), std::string::npos) << text;
}

TEST(SystemTextTest, ErrorTextWithoutMessageGivesTheFallbackAndHexCode) {
  EXPECT_EQ(ErrorText(0x2FFFFFFF), "Unknown error $2fffffff");
}

TEST(SystemTextTest, ErrorTextConvertsStatusCodes) {
  // STATUS_ACCESS_VIOLATION corresponds to ERROR_NOACCESS (998).
  EXPECT_EQ(ErrorText(0xC0000005), ErrorText(998));
}

TEST(SystemTextTest, ErrorTextOfNetworkCodesIsOneLine) {
  const std::string text = ErrorText(2102);  // NERR_NetNotStarted, from the message module
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(HasLineBreak(text)) << text;
}

TEST(SystemTextTest, LocaleDecimalPointIsAPunctuationByteAndStable) {
  const char point = LocaleDecimalPoint();
  const auto byte = static_cast<unsigned char>(point);
  EXPECT_GT(byte, 0x20);
  EXPECT_FALSE(byte >= '0' && byte <= '9');
  EXPECT_EQ(LocaleDecimalPoint(), point);
  EXPECT_EQ(FormatByteSize(1536), std::string("1") + point + "50 KB");
}

}  // namespace
}  // namespace trace
