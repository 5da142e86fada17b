#include "crash/delivery/mail_text.h"

#include <gtest/gtest.h>

namespace crash {
namespace {

TEST(MailText, AddressForms) {
  EXPECT_EQ(MailAngleForm("bugs@example.org"), "<bugs@example.org>");
  EXPECT_EQ(MailFullForm("bugs@example.org"), "<bugs@example.org>");
  EXPECT_EQ(MailAngleForm("Bug Desk <bugs@example.org>"), "<bugs@example.org>");
  EXPECT_EQ(MailFullForm("Bug Desk <bugs@example.org>"), "Bug Desk <bugs@example.org>");
  // From the first "<" to the end, whatever follows.
  EXPECT_EQ(MailAngleForm("a <b> <c>"), "<b> <c>");
  EXPECT_EQ(MailAngleForm(""), "<>");
}

TEST(MailText, EscapeWritesTwoUpperCaseDigits) {
  ByteSet set;
  set.set(' ');
  set.set(0xFF);
  set.set(0x00);
  EXPECT_EQ(EscapeBytes(std::string("a b\xff", 4), set, '%'), "a%20b%FF");
  EXPECT_EQ(EscapeBytes(std::string("\0z", 2), set, '%'), "%00z");
  EXPECT_EQ(EscapeBytes("", set, '%'), "");
  EXPECT_EQ(EncodedSubject("Velmo Bug Report"), "=?ISO-8859-1?Q?Velmo=20Bug=20Report?=");
  EXPECT_EQ(EncodedSubject("a=b?_\xe4\r\n"), "=?ISO-8859-1?Q?a=3Db=3F=5F=E4=0D=0A?=");
  EXPECT_EQ(EncodedSubject(""),
            "=?ISO-8859-1?Q?"
            "?=");
}

TEST(MailText, DateLineWithOffset) {
  MailDate date{2026, 12, 9, 3, 12, 34, 56, 60};
  EXPECT_EQ(MailDateLine(date), "Date: Wed, 09 Dec 2026 12:34:56 +0100\r\n");
  date = {2027, 1, 31, 0, 0, 5, 0, -210};
  EXPECT_EQ(MailDateLine(date), "Date: Sun, 31 Jan 2027 00:05:00 -0330\r\n");
  date.offset_minutes = 0;
  EXPECT_EQ(MailDateLine(date), "Date: Sun, 31 Jan 2027 00:05:00 +0000\r\n");
}

// Every line that begins with a period gets a second one, also the first line and a line of
// a period alone, twice in a row; line ends become CR LF.
TEST(MailText, TransparentBody) {
  EXPECT_EQ(TransparentBody(".\r\n.\r\n"), "..\r\n..\r\n");
  EXPECT_EQ(TransparentBody(".start\r\nmid.dle\r\n.\r\n.end"), "..start\r\nmid.dle\r\n..\r\n..end");
  EXPECT_EQ(TransparentBody("a\n.b\r.c\r\n\r\n."), "a\r\n..b\r\n..c\r\n\r\n..");
  EXPECT_EQ(TransparentBody("no dots here"), "no dots here");
  EXPECT_EQ(TransparentBody(""), "");
  EXPECT_EQ(TransparentBody("x\r\n"), "x\r\n");
}

}  // namespace
}  // namespace crash
