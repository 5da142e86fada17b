#include "crash/delivery/mailto_link.h"

#include <gtest/gtest.h>

namespace crash {
namespace {

TEST(MailtoLink, EscapesTheSetInSubjectAndBodyOnly) {
  EXPECT_EQ(EscapeForMailto("a\nb\rc d\"e#f%g+h<i>j?k&l=m/"),
            "a%0Ab%0Dc%20d%22e%23f%25g%2Bh%3Ci%3Ej%3Fk&l=m/");
  EXPECT_EQ(EscapeForMailto("\xE4\x01"), "\xE4\x01");  // other bytes as they are
  EXPECT_EQ(MailtoLink("Bugs <bugs@x.example>", "Bug report?", "1% of\r\n2"),
            "mailto:Bugs <bugs@x.example>?subject=Bug%20report%3F&body=1%25%20of%0D%0A2");
}

TEST(MailtoLink, CommandTakesTheLinkAtEachPercentOneOrAtItsEnd) {
  EXPECT_EQ(MailtoCommandLine("mail.exe -c \"%1\" -x %1", "L"), "mail.exe -c \"L\" -x L");
  EXPECT_EQ(MailtoCommandLine("mail.exe -to", "L"), "mail.exe -to L");
  EXPECT_EQ(MailtoCommandLine("mail.exe -to ", "L"), "mail.exe -to L");  // trailing blank
  // A link holding "%1" itself is not replaced again.
  EXPECT_EQ(MailtoCommandLine("m %1", "x%1y"), "m x%1y");
}

TEST(MailtoLink, CutNeverSplitsAnEscape) {
  std::string exact(kMaxCommandLine, 'a');
  std::string line = exact;
  CutCommandLine(line);
  EXPECT_EQ(line.size(), kMaxCommandLine);
  for (size_t percent_at : {kMaxCommandLine - 1, kMaxCommandLine - 2}) {
    line = std::string(kMaxCommandLine + 10, 'a');
    line[percent_at] = '%';
    CutCommandLine(line);
    EXPECT_EQ(line.size(), percent_at) << percent_at;
  }
  line = std::string(kMaxCommandLine + 10, 'a');
  line[kMaxCommandLine - 3] = '%';  // a whole escape before the cut stays
  CutCommandLine(line);
  EXPECT_EQ(line.size(), kMaxCommandLine);
}

}  // namespace
}  // namespace crash
