// The link's escapes, "%1" and the cut run end to end in mailto_send_win_test.cpp; here
// the cut's edges, which a command line can show only at full length.
#include "crash/delivery/mailto_link.h"

#include <gtest/gtest.h>

namespace crash {
namespace {

TEST(MailtoLink, CutNeverSplitsAnEscape) {
  std::string line(kMaxCommandLine, 'a');
  CutCommandLine(line);
  EXPECT_EQ(line.size(), kMaxCommandLine);
  for (size_t percent_at : {kMaxCommandLine - 1, kMaxCommandLine - 2, kMaxCommandLine - 3}) {
    line = std::string(kMaxCommandLine + 10, 'a');
    line[percent_at] = '%';
    CutCommandLine(line);
    // A whole escape before the cut stays.
    EXPECT_EQ(line.size(), percent_at == kMaxCommandLine - 3 ? kMaxCommandLine : percent_at);
  }
  EXPECT_EQ(EscapeForMailto("\xE4\x01&="), "\xE4\x01&=");  // other bytes as they are
}

}  // namespace
}  // namespace crash
