#include "crash/delivery/smtp_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace crash {
namespace {

ReplyState ReadWhole(SmtpReplyReader& reader, std::string_view bytes) {
  reader.BeginReply();
  return reader.Take(bytes);
}

TEST(SmtpReply, CompleteAtTheLastLineInAnyPieces) {
  const std::string ehlo =
      "250-mail.example Hello\r\n250-AUTH=LOGIN\r\n250-SIZE 100\r\n250 HELP\r\n";
  SmtpReplyReader whole;
  EXPECT_EQ(ReadWhole(whole, ehlo), ReplyState::Complete);
  EXPECT_TRUE(whole.Is("250"));
  EXPECT_FALSE(whole.Is("251"));
  EXPECT_EQ(whole.text(), ehlo);
  EXPECT_EQ(whole.FirstLine(), "250-mail.example Hello");

  SmtpReplyReader bytewise;
  bytewise.BeginReply();
  for (size_t i = 0; i + 1 < ehlo.size(); ++i) {
    EXPECT_EQ(bytewise.Take(ehlo.substr(i, 1)), ReplyState::Incomplete) << i;
  }
  EXPECT_EQ(bytewise.Take(ehlo.substr(ehlo.size() - 1)), ReplyState::Complete);
  EXPECT_EQ(bytewise.text(), ehlo);

  // A bare code, and a bare LF as line end.
  EXPECT_EQ(ReadWhole(whole, "354\r\n"), ReplyState::Complete);
  EXPECT_TRUE(whole.Is("354"));
  EXPECT_EQ(ReadWhole(whole, "221 bye\n"), ReplyState::Complete);
  EXPECT_EQ(whole.text(), "221 bye\r\n");
}

TEST(SmtpReply, BytesAfterAReplyStartTheNext) {
  SmtpReplyReader reader;
  EXPECT_EQ(ReadWhole(reader, "220 hi\r\n250-a\r\n"), ReplyState::Complete);
  EXPECT_TRUE(reader.Is("220"));
  reader.BeginReply();
  EXPECT_EQ(reader.state(), ReplyState::Incomplete);
  EXPECT_EQ(reader.Take("250 b\r\n"), ReplyState::Complete);
  EXPECT_EQ(reader.text(), "250-a\r\n250 b\r\n");
  reader.BeginReply();
  EXPECT_EQ(reader.state(), ReplyState::Incomplete);
  EXPECT_EQ(reader.text(), "");
  // Found by the fuzzer: a reply is complete whatever follows it, and more than a reply's
  // limit after it leaves nothing to trust.
  const std::string flood(SmtpReplyReader::kMaxReply + 1, '2');
  EXPECT_EQ(reader.Take("250 ok\r\n" + flood), ReplyState::Complete);
  EXPECT_TRUE(reader.Is("250"));
  reader.BeginReply();
  EXPECT_EQ(reader.state(), ReplyState::Malformed);
  EXPECT_EQ(reader.Take("250 ok\r\n"), ReplyState::Malformed);
}

TEST(SmtpReply, BadCodesAndHugeRepliesAreMalformed) {
  SmtpReplyReader reader;
  for (const char* bad : {"2x0 hi\r\n", "25\r\n", "250_x\r\n", "250-a\r\n251 b\r\n", "\r\n",
                          "abc\r\n", " 250 x\r\n"}) {
    EXPECT_EQ(ReadWhole(reader, bad), ReplyState::Malformed) << bad;
    EXPECT_FALSE(reader.Is("250"));
  }
  // A line without end beyond the line limit.
  EXPECT_EQ(ReadWhole(reader, "250 " + std::string(SmtpReplyReader::kMaxLine, 'x')),
            ReplyState::Malformed);
  // Endless continuation lines end at the reply limit.
  reader.BeginReply();
  ReplyState state = ReplyState::Incomplete;
  size_t taken = 0;
  while (state == ReplyState::Incomplete && taken < 4 * SmtpReplyReader::kMaxReply) {
    state = reader.Take("250-more and more\r\n");
    taken += 19;
  }
  EXPECT_EQ(state, ReplyState::Malformed);
  EXPECT_LE(taken, SmtpReplyReader::kMaxReply + 19);
  // Malformed stays malformed.
  EXPECT_EQ(reader.Take("250 ok\r\n"), ReplyState::Malformed);
}

TEST(SmtpReply, CapabilityScan) {
  EXPECT_TRUE(OffersAuthLogin("250-x\r\n250-AUTH=LOGIN PLAIN\r\n250 HELP\r\n"));
  EXPECT_TRUE(OffersAuthLogin("250-x\r\n250 AUTH PLAIN LOGIN\r\n"));
  EXPECT_TRUE(OffersAuthLogin("250-x\r\n250-auth cram-md5 login\r\n250 8BITMIME\r\n"));
  EXPECT_TRUE(OffersAuthLogin("250 AUTH=LOGIN"));
  EXPECT_FALSE(OffersAuthLogin("250-x\r\n250 AUTH PLAIN\r\n"));
  EXPECT_FALSE(OffersAuthLogin("250-x\r\n250 AUTH PLAIN LOGINX\r\n"));
  EXPECT_FALSE(OffersAuthLogin("250-x\r\n250 XAUTH LOGIN\r\n"));
  EXPECT_FALSE(OffersAuthLogin("250 LOGIN\r\n"));
  EXPECT_FALSE(OffersAuthLogin(""));
  EXPECT_TRUE(OffersStartTls("250-x\r\n250-starttls\r\n250 HELP\r\n"));
  EXPECT_TRUE(OffersStartTls("250-x\r\n250 STARTTLS\r\n"));
  EXPECT_FALSE(OffersStartTls("250-x\r\n250 STARTTLSX\r\n"));
  EXPECT_FALSE(OffersStartTls("250 HELP\r\n"));
}

}  // namespace
}  // namespace crash
